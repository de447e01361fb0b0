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

// Whether a session's D-Bus can be reached where programs look for it: at
// address (DBUS_SESSION_BUS_ADDRESS) when that is set, else at the socket
// "bus" in runtimeFolder (XDG_RUNTIME_DIR).
bool hasSessionBus(const std::string& address, const std::string& runtimeFolder);

// Without a session bus, D-Bus starts a bus of its own for the first of Qt's
// parts that asks for one (the accessibility bridge, the global menu bar),
// and that bus outlives the program. Unless the process has a bus, this
// points the bus address at none, so those parts go without; a desktop that
// has a bus (and its input methods) is left as it is. Runs before Qt starts.
void keepFromStartingSessionBus();

} // namespace zavio
