#pragma once

#include <optional>
#include <string>

namespace zavio {

// What decides whether Qt can show windows: the platform asked for (Qt's
// "-platform" argument, else QT_QPA_PLATFORM; empty for Qt's own choice) and
// the X11 and Wayland displays (DISPLAY, WAYLAND_DISPLAY).
struct DesktopSession {
    std::string platform;
    std::string x11Display;
    std::string waylandDisplay;

    // Read from the program's arguments and environment.
    static DesktopSession ofProcess(int argc, const char* const* argv);
};

// The one line to print when there is no desktop session to show the windows
// on, or nothing when there is one or when a platform that needs none (such as
// offscreen) is asked for. Without this, Qt ends with advice to reinstall.
std::optional<std::string> missingDesktopSession(const DesktopSession& session);

} // namespace zavio
