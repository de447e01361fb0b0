#pragma once

#include "support/XTypes.h"

#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zavio::e2e {

// Looking windows up, reading their state and sending them real input through
// XTEST, on a display without a window manager.

struct TitledWindow {
    Window window;
    std::string title;
};

using TitleTest = std::function<bool(const std::string&)>;

// The window's _NET_WM_NAME (UTF-8), else its WM_NAME; empty when it has none.
std::string windowTitle(Display* display, Window window);

// A mapped window anywhere under the root whose title passes the test.
std::optional<TitledWindow> findTitledWindow(Display* display, const TitleTest& wanted);

// The mapped children of the root: without a window manager, the top-level
// windows the program shows.
std::vector<TitledWindow> mappedTopLevels(Display* display);
bool isTopLevel(Display* display, Window window);
// The same windows as the program made them: under a window manager, the
// window each frame holds instead of the frame.
std::vector<TitledWindow> mappedClients(Display* display);
// "the mapped top-level windows are titled ..." for a failure message.
std::string describeTopLevels(Display* display);
// Mapped top-level windows (their clients under a window manager) whose title
// is exactly title.
std::vector<TitledWindow> topLevelsTitled(Display* display, const std::string& title);

// The window a dialog belongs to (WM_TRANSIENT_FOR), 0 when it has none.
Window transientFor(Display* display, Window window);

// The child of the root that holds window: the window itself without a window
// manager, the frame it put the window in with one; 0 when window is gone.
Window topLevelOf(Display* display, Window window);
// Where window's top level stands in the stack of the root's children, 0 at
// the bottom; -1 when it is not there.
int stackingIndex(Display* display, Window window);

// Whether a window manager has said on the root window that it runs
// (_NET_SUPPORTING_WM_CHECK).
bool windowManagerRunning(Display* display);

// Asks the window manager to activate window (_NET_ACTIVE_WINDOW), as a click
// on it in a task bar does; the window manager raises it.
void requestActivation(Display* display, Window window);

// A click at (x, y) of window as clickAt makes it, also when a window manager
// has put the window in a frame.
void clickThroughFrame(Display* display, Window window, int x, int y, unsigned int button);

// What a window shows of itself: title, size and whether it is mapped.
struct WindowState {
    bool exists = false;
    bool mapped = false;
    int width = 0;
    int height = 0;
    std::string title;

    std::string text() const;
};
WindowState windowState(Display* display, Window window);

// The window's rectangle in root coordinates, empty when it cannot be read.
QRect rootRect(Display* display, Window window);

// The middle of the largest strip of area that cover leaves visible, or
// nothing when cover hides all of it.
std::optional<QPoint> uncoveredPoint(const QRect& area, const QRect& cover);

// The point of area (in window's coordinates) nearest its middle that no
// mapped top-level window stacked above it covers, or nothing when all of it
// is covered.
std::optional<QPoint> visiblePoint(Display* display, Window window, const QRect& area);

// The window that has the keyboard focus: None, PointerRoot (1) or the root
// when no window has it.
Window inputFocus(Display* display);

// Gives window the keyboard focus, as a window manager does when the user
// turns to it or when a window in front of it closes.
void giveFocus(Display* display, Window window);

// Moves a top-level window to pos on the screen, as a user dragging it aside
// would; the caller waits for the move.
void moveWindow(Display* display, Window window, const QPoint& pos);

// A click of the given button at (x, y) in the top-level window: the pointer
// moves there, then the button goes down and up. The click is refused when
// another window covers that point.
void clickAt(Display* display, Window window, int x, int y, unsigned int button);

// A key pressed and released while window has the input focus, as a window
// manager gives it to a window the user turns to; the pointer rests in the
// window too, so the key reaches it whichever way focus is settled.
void pressKey(Display* display, Window window, unsigned long keysym);
constexpr unsigned long kReturnKey = 0xff0d; // XK_Return
// Types text key by key: lower-case letters, digits, spaces and . , - / ; =,
// the keys typed without shift, whose keysyms are their ASCII codes.
void typeText(Display* display, Window window, const std::string& text);

// Asks the window to close the way a window manager does, with a
// WM_DELETE_WINDOW message of the WM_PROTOCOLS kind.
void sendDeleteWindow(Display* display, Window window);

} // namespace zavio::e2e
