#include "app/DesktopSession.h"

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

namespace zavio {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

enum class Needs { X11, Wayland, Nothing };

// A platform entry is a plugin name, optionally followed by ":" and its options.
Needs needsOf(std::string_view entry)
{
    const std::string_view name = entry.substr(0, entry.find(':'));
    if (name == "xcb")
        return Needs::X11;
    if (name.starts_with("wayland"))
        return Needs::Wayland;
    return Needs::Nothing;
}

} // namespace

DesktopSession DesktopSession::ofProcess(int argc, const char* const* argv)
{
    DesktopSession session{environment("QT_QPA_PLATFORM"), environment("DISPLAY"), environment("WAYLAND_DISPLAY")};
    // Qt takes its own options with one dash or two, and the argument over
    // the environment.
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-platform" || argument == "--platform")
            session.platform = argv[i + 1];
    }
    return session;
}

std::optional<std::string> missingDesktopSession(const DesktopSession& session)
{
    const bool x11 = !session.x11Display.empty();
    const bool wayland = !session.waylandDisplay.empty();
    std::string reason;
    if (session.platform.empty()) {
        if (x11 || wayland)
            return std::nullopt;
        reason = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    } else {
        // Qt tries the entries of a ";" list in turn, so one that can start is enough.
        bool needsX11 = false;
        bool needsWayland = false;
        std::string_view rest = session.platform;
        while (!rest.empty()) {
            const size_t end = rest.find(';');
            switch (needsOf(rest.substr(0, end))) {
            case Needs::Nothing:
                return std::nullopt;
            case Needs::X11:
                if (x11)
                    return std::nullopt;
                needsX11 = true;
                break;
            case Needs::Wayland:
                if (wayland)
                    return std::nullopt;
                needsWayland = true;
                break;
            }
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
        const char* missing = needsX11 && needsWayland ? "DISPLAY or WAYLAND_DISPLAY, and neither is set"
            : needsX11                                ? "DISPLAY, which is not set"
                                                      : "WAYLAND_DISPLAY, which is not set";
        reason = "the platform " + session.platform + " needs " + missing;
    }
    return "zavio: Zavio needs a desktop session (X11 or Wayland) to show its windows, but " + reason
        + "; start it from a terminal of the desktop.";
}

bool hasSessionBus(const std::string& address, const std::string& runtimeFolder)
{
    if (!address.empty())
        return true;
    if (runtimeFolder.empty())
        return false;
    struct stat status {};
    return stat((runtimeFolder + "/bus").c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

void keepFromStartingSessionBus()
{
    if (hasSessionBus(environment("DBUS_SESSION_BUS_ADDRESS"), environment("XDG_RUNTIME_DIR")))
        return;
    // An address of no known kind: every connection fails at once, and
    // nothing is started to serve it.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

} // namespace zavio
