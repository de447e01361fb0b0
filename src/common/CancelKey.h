#pragma once

#include <QKeyEvent>
#include <QKeySequence>

namespace zavio {

// Accepts a key that Qt's dialogs take as "cancel and close" (Esc, and the
// platform's cancel sequence) and says so. A window that holds the user's
// work calls it first in its key handler and then closes only by its own
// commands and its close box; an input method's Esc never reaches it.
inline bool swallowCancelKey(QKeyEvent* event)
{
    if (!event->matches(QKeySequence::Cancel) && event->key() != Qt::Key_Escape)
        return false;
    event->accept();
    return true;
}

} // namespace zavio
