#include "support/Menus.h"

#include "support/Screenshots.h"
#include "support/XSession.h"
#include "support/XWindows.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zavio::e2e {

using namespace std::chrono_literals;

void chooseMenuItem(ProgramUnderTest& program, Display* display, Window window, const QPoint& title, int index,
                    int count, const std::string& what)
{
    std::vector<Window> before;
    for (const TitledWindow& top : mappedTopLevels(display))
        before.push_back(top.window);
    clickThroughFrame(display, window, title.x(), title.y(), kLeftButton);

    // The popup is a new top-level window of its own.
    std::optional<TitledWindow> popup;
    program.waitUntil(5s, "menu popup for " + what, [&]() -> std::optional<std::string> {
        for (const TitledWindow& top : mappedTopLevels(display))
            if (std::find(before.begin(), before.end(), top.window) == before.end())
                popup = top;
        if (!popup)
            return describeTopLevels(display);
        if (!isDrawn(grabWindow(display, popup->window)))
            return std::string("the popup is not drawn yet");
        return std::nullopt;
    });
    const WindowState state = windowState(display, popup->window);
    clickAt(display, popup->window, state.width / 2, state.height * (2 * index + 1) / (2 * count), kLeftButton);
    program.waitForUnmap(display, popup->window, 5s, "closing of the menu after choosing " + what);
}

} // namespace zavio::e2e
