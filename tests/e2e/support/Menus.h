#pragma once

#include "support/XTypes.h"

#include <QPoint>

#include <string>

namespace zavio::e2e {

class ProgramUnderTest;

// Where the first menu's title lies on a window's menu bar, in the window's
// coordinates: the bar runs along the top of the client area.
constexpr QPoint kFirstMenuTitle(16, 9);

// Chooses a menu command with real clicks, as a user does: a click on the
// menu's title opens its popup, a click on item index (0 for the first) of
// its count items, all of one height, chooses it. Waits for the popup to be
// drawn and to close again; what names the command for failure messages.
void chooseMenuItem(ProgramUnderTest& program, Display* display, Window window, const QPoint& title, int index,
                    int count, const std::string& what);

} // namespace zavio::e2e
