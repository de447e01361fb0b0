#pragma once

#include <string>

namespace zavio::e2e {

// Each scenario starts the program at the given path under its own Xvfb and
// throws Failure when it does not behave; what it saw goes to stdout.

// The main window's first page, then the zoom window opened by a click.
void mainWindowScenario(const std::string& program);
// A folder of 45 pictures whose fifth is broken, paged through to its end.
void brokenPictureScenario(const std::string& program);
// The rotation window over the blocked main window, with the result window
// usable beside it: turning, overwriting, the reload on returning, closing.
void rotationScenario(const std::string& program);
// The comment viewer on a prepared Shift-JIS coment.txt, then a new record
// typed into the comment editor in comment mode.
void commentsScenario(const std::string& program);
// Each modal window named as the window it is modal over and kept above it
// when that is clicked, without a window manager and under openbox.
void modalWindowsScenario(const std::string& program);

} // namespace zavio::e2e
