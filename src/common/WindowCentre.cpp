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

// The frame the window will have once shown: its own when the window manager
// has framed it before, else that of the window it belongs to, else that of
// the active window.
QSize expectedFrame(const QWidget& window, const QWidget* like)
{
    QMargins borrowed = marginsOf(like);
    if (borrowed.isNull())
        borrowed = marginsOf(QApplication::activeWindow());
    return framedSize(window.size(), marginsOf(&window), borrowed);
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
    window.move(centredFramePosition(expectedFrame(window, like), available, available));
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
    window.move(centredFramePosition(expectedFrame(window, centre), centre->frameGeometry(), available));
}

} // namespace zavio
