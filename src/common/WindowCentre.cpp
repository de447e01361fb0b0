#include "common/WindowCentre.h"

#include "common/WindowPlacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace zavio {
namespace {

QMargins marginsOf(const QWidget* widget)
{
    const QWindow* window = widget ? widget->windowHandle() : nullptr;
    return window ? window->frameMargins() : QMargins();
}

QMargins borrowedMargins(const QWidget* like)
{
    const QMargins borrowed = marginsOf(like);
    return borrowed.isNull() ? marginsOf(QApplication::activeWindow()) : borrowed;
}

// The frame the window will have once shown: its own when the window manager
// has framed it before, else that of the window it belongs to, else that of
// the active window.
QSize expectedFrame(const QWidget& window, const QWidget* like)
{
    return framedSize(window.size(), marginsOf(&window), borrowedMargins(like));
}

// Moves the window's frame to frame. A window not yet made natively takes a
// move as one of its frame; one that is made but was never framed takes it as
// one of its inside, which then lies the frame's border further in.
void moveFrameTo(QWidget& window, QPoint frame, const QWidget* like)
{
    if (window.testAttribute(Qt::WA_WState_Created) && marginsOf(&window).isNull()) {
        const QMargins borrowed = borrowedMargins(like);
        frame += QPoint(borrowed.left(), borrowed.top());
    }
    window.move(frame);
}

QRect availableArea(const QWidget& window, const QWidget* on)
{
    const QScreen* screen = on ? on->screen() : window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

const QWidget* centringWindowFor(const QWidget* on)
{
    for (const QWidget* widget = on; widget; widget = widget->parentWidget()) {
        const QWidget* window = widget->window();
        if (window->isVisible() && !window->isMinimized())
            return window;
        widget = window;
    }
    const QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() ? active : nullptr;
}

void centreOnScreen(QWidget& window)
{
    const QWidget* like = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    const QRect available = availableArea(window, like);
    if (available.isEmpty())
        return;
    // A window's position is that of its frame.
    moveFrameTo(window, centredFramePosition(expectedFrame(window, like), available, available), like);
}

void centreOnWindow(QWidget& window, const QWidget* on)
{
    const QWidget* centre = centringWindowFor(on);
    if (!centre) {
        centreOnScreen(window);
        return;
    }
    const QRect available = availableArea(window, centre);
    if (available.isEmpty())
        return;
    moveFrameTo(window, centredFramePosition(expectedFrame(window, centre), centre->frameGeometry(), available),
                centre);
}

} // namespace zavio
