#include "comments/CommentMemo.h"

#include "comments/CommentText.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace zavio {

CommentMemo::CommentMemo(int limit, QWidget* parent) : Memo(parent), limit_(limit) {}

QString CommentMemo::fitting(const QString& inserted, int replaceFrom, int replaceLength) const
{
    QString kept = toPlainText();
    kept.remove(replaceFrom, replaceLength);
    return fitInsertion(kept, inserted, limit_);
}

QString CommentMemo::typedText(const QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return QStringLiteral("\n");
    const QString text = event->text();
    if (text.isEmpty())
        return {};
    // As the text control does: formatting characters always go in, Ctrl and
    // Ctrl+Shift make shortcuts, control characters other than Tab are keys.
    const QChar first = text[0];
    if (first.category() == QChar::Other_Format)
        return text;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return {};
    if (first.category() == QChar::Other_Control && first != u'\t')
        return {};
    return text;
}

void CommentMemo::refuse()
{
    QApplication::beep();
    emit inputRefused();
}

void CommentMemo::keyPressEvent(QKeyEvent* event)
{
    if (!isReadOnly()) {
        // A key's text, a surrogate pair included, goes in whole or not at all.
        const QString typed = typedText(event);
        if (!typed.isEmpty()) {
            const QTextCursor cursor = textCursor();
            const int from = cursor.selectionStart();
            if (fitting(typed, from, cursor.selectionEnd() - from) != typed) {
                refuse();
                event->accept();
                return;
            }
        }
    }
    Memo::keyPressEvent(event);
}

void CommentMemo::insertFromMimeData(const QMimeData* source)
{
    if (isReadOnly() || !source || !source->hasText())
        return;
    const QTextCursor cursor = textCursor();
    const QString text = withLfLineBreaks(source->text());
    const QString fitted = fitting(text, cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
    if (fitted.size() != text.size())
        refuse();
    if (!fitted.isEmpty())
        insertPlainText(fitted);
}

void CommentMemo::inputMethodEvent(QInputMethodEvent* event)
{
    if (isReadOnly() || event->commitString().isEmpty()) {
        Memo::inputMethodEvent(event);
        return;
    }
    // A commit replaces the selection, or the range the event names.
    const QTextCursor cursor = textCursor();
    int from = cursor.selectionStart();
    int length = cursor.selectionEnd() - cursor.selectionStart();
    if (event->replacementLength() > 0) {
        from = cursor.position() + event->replacementStart();
        length = event->replacementLength();
    }
    const QString committed = withLfLineBreaks(event->commitString());
    const QString fitted = fitting(committed, from, length);
    if (fitted == event->commitString()) {
        Memo::inputMethodEvent(event);
        return;
    }
    if (fitted.size() != committed.size())
        refuse();
    QInputMethodEvent trimmed(event->preeditString(), event->attributes());
    trimmed.setCommitString(fitted, event->replacementStart(), event->replacementLength());
    Memo::inputMethodEvent(&trimmed);
    event->accept();
}

} // namespace zavio
