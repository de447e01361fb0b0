#include "app/DesktopSession.h"

#include <QDir>
#include <QLibraryInfo>
#include <QStringList>

#include <algorithm>
#include <cctype>
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

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The framework an XMODIFIERS value ("@im=ibus") or a GTK_IM_MODULE value
// ("ibus", "fcitx5") names, if it is one that Qt has a plugin for.
std::string frameworkNamed(std::string_view value)
{
    const std::string name = lowered(std::string(value));
    if (name.starts_with("ibus"))
        return "ibus";
    if (name.starts_with("fcitx"))
        return "fcitx";
    return {};
}

// Qt's input-method plugins sit in its plugin folder; ibus comes with Qt Gui,
// fcitx with the framework's own Qt front end.
bool qtHasInputMethodPlugin(const std::string& name)
{
    const QDir folder(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforminputcontexts"));
    const QStringList files = folder.entryList({QStringLiteral("*.so")}, QDir::Files);
    return std::any_of(files.begin(), files.end(), [&](const QString& file) {
        return file.startsWith(QStringLiteral("lib") + QString::fromStdString(name));
    });
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
            : needsX11                                 ? "DISPLAY, which is not set"
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

std::string preferredPlatform(const DesktopSession& session)
{
    if (!session.platform.empty() || session.waylandDisplay.empty())
        return {};
    return session.x11Display.empty() ? "wayland" : "wayland;xcb";
}

InputMethodSession InputMethodSession::ofProcess()
{
    return {environment("QT_IM_MODULE"), environment("XMODIFIERS"), environment("GTK_IM_MODULE"),
            environment("XDG_CURRENT_DESKTOP")};
}

std::string preferredInputMethod(const InputMethodSession& session, bool (*hasPlugin)(const std::string& name))
{
    if (!session.qtModule.empty())
        return {};
    std::string framework;
    if (const size_t at = session.xModifiers.find("@im="); at != std::string::npos)
        framework = frameworkNamed(std::string_view(session.xModifiers).substr(at + 4));
    if (framework.empty())
        framework = frameworkNamed(session.gtkModule);
    // XDG_CURRENT_DESKTOP is a ":" list such as "ubuntu:GNOME".
    if (framework.empty()) {
        std::string desktops = lowered(session.desktop);
        desktops.insert(desktops.begin(), ':');
        desktops.push_back(':');
        if (desktops.find(":gnome:") != std::string::npos)
            framework = "ibus";
    }
    if (framework.empty() || !hasPlugin(framework))
        return {};
    return framework;
}

void applySessionPreferences(int argc, const char* const* argv)
{
    if (const std::string platform = preferredPlatform(DesktopSession::ofProcess(argc, argv)); !platform.empty())
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    if (const std::string module = preferredInputMethod(InputMethodSession::ofProcess(), qtHasInputMethodPlugin);
        !module.empty())
        setenv("QT_IM_MODULE", module.c_str(), 1);
}

} // namespace zavio
