#pragma once

class QWidget;

namespace zavio {

// Places a top-level window of its final size, about to be shown, so that its frame lies
// centred on the available area of the screen (the primary one when the
// window has none yet). A window not yet framed by the window manager is
// taken to get the frame of the window it belongs to.
void centreOnScreen(QWidget& window);

// Places a top-level window that is about to be shown with its frame centred
// on the frame of the window that shows it: on itself if it is on the screen,
// else on the nearest window up its parents that is, else on the active
// window; with none of them on the screen, on the screen. The window is kept
// inside the screen's available area.
void centreOnWindow(QWidget& window, const QWidget* on);

// The window a box shown for on is centred on, as centreOnWindow chooses it;
// nothing when it centres on the screen.
const QWidget* centringWindowFor(const QWidget* on);

} // namespace zavio
