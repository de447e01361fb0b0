#include "common/Memo.h"

#include <QInputMethodEvent>

namespace zavio {

Memo::Memo(QWidget* parent) : QPlainTextEdit(parent) {}

void Memo::showReadOnly()
{
    setReadOnly(true);
    // Read-only leaves mouse selection only, which draws no caret; a zero
    // width keeps it hidden should keyboard selection ever be switched on.
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setCursorWidth(0);
}

void Memo::allowEditing()
{
    setReadOnly(false);
    setTextInteractionFlags(Qt::TextEditorInteraction);
    setCursorWidth(1);
}

QVariant Memo::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImEnabled && isReadOnly())
        return false;
    return QPlainTextEdit::inputMethodQuery(query);
}

void Memo::inputMethodEvent(QInputMethodEvent* event)
{
    if (isReadOnly()) {
        event->ignore();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

} // namespace zavio
