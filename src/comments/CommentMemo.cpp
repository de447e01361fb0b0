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
    QString text = inserted;
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return fitInsertion(kept, text, limit_);
}

void CommentMemo::keyPressEvent(QKeyEvent* event)
{
    if (!isReadOnly()) {
        QString typed = event->text();
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            typed = QStringLiteral("\n");
        const bool inserts = !typed.isEmpty() && (typed == QStringLiteral("\n") || typed[0].isPrint()
                                                      || typed == QStringLiteral("\t"));
        if (inserts && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            const QTextCursor cursor = textCursor();
            if (fitting(typed, cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()) != typed) {
                QApplication::beep();
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
    const QString text = source->text();
    const QString fitted = fitting(text, cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
    if (fitted.size() != text.size())
        QApplication::beep();
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
    const QString fitted = fitting(event->commitString(), from, length);
    if (fitted == event->commitString()) {
        Memo::inputMethodEvent(event);
        return;
    }
    QApplication::beep();
    QInputMethodEvent trimmed(event->preeditString(), event->attributes());
    trimmed.setCommitString(fitted, event->replacementStart(), event->replacementLength());
    Memo::inputMethodEvent(&trimmed);
    event->accept();
}

} // namespace zavio
