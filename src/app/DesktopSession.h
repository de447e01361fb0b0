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

// The platform to ask Qt for when the user has asked for none: native Wayland
// whenever a Wayland display is there, since only there the windows are drawn
// at the output's own scale (XWayland windows are scaled up, blurred, on a
// scaled output), with X11 through XWayland after it in case Qt's Wayland
// plugin is missing or cannot connect. Empty: the user's choice, or no
// Wayland display, leaves the platform to Qt.
std::string preferredPlatform(const DesktopSession& session);

// What tells which input-method framework runs: QT_IM_MODULE (the user's own
// choice), XMODIFIERS ("@im=ibus"), GTK_IM_MODULE and XDG_CURRENT_DESKTOP.
struct InputMethodSession {
    std::string qtModule;
    std::string xModifiers;
    std::string gtkModule;
    std::string desktop;

    static InputMethodSession ofProcess();
};

// The Qt input-method plugin ("ibus" or "fcitx") to load when QT_IM_MODULE is
// not set, for the framework the session names, or ibus on GNOME, whose shell
// always runs it; hasPlugin says whether Qt has that plugin installed. Both
// talk to their framework over D-Bus, on X11 and on Wayland alike, whereas
// Qt 6.4 on Wayland knows none of the text-input protocol versions GNOME
// offers and on X11 has only the compose table. Empty: leave it to Qt.
std::string preferredInputMethod(const InputMethodSession& session, bool (*hasPlugin)(const std::string& name));

// Before the application object is made: sets QT_QPA_PLATFORM and
// QT_IM_MODULE to the choices above where the user has set neither.
void applySessionPreferences(int argc, const char* const* argv);

} // namespace zavio
