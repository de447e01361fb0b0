#include "app/DesktopSession.h"
#include "support/ScopedEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace zavio;
using zavio::test::ScopedEnv;

TEST(DesktopSession, WindowsNeedADisplayOfThePlatformAskedFor)
{
    struct Case {
        DesktopSession session;
        bool complains;
        const char* names; // the variable the complaint names, if any
    };
    const Case cases[] = {
        // Qt's own choice of platform: either display will do.
        {{"", "", ""}, true, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
        {{"", ":0", ""}, false, nullptr},
        {{"", "", "wayland-0"}, false, nullptr},
        // Platforms that need no display are left to Qt.
        {{"offscreen", "", ""}, false, nullptr},
        {{"minimal", "", ""}, false, nullptr},
        {{"vnc:size=800x600", "", ""}, false, nullptr},
        // The display the platform asked for must be there.
        {{"xcb", "", ""}, true, "needs DISPLAY, which is not set"},
        {{"xcb", "", "wayland-0"}, true, "needs DISPLAY, which is not set"},
        {{"xcb", ":1", ""}, false, nullptr},
        {{"wayland", ":0", ""}, true, "needs WAYLAND_DISPLAY, which is not set"},
        {{"wayland-egl", "", "wayland-1"}, false, nullptr},
        // In a list one platform that can start is enough.
        {{"wayland;xcb", ":0", ""}, false, nullptr},
        {{"wayland;xcb", "", ""}, true, "needs DISPLAY or WAYLAND_DISPLAY, and neither is set"},
        {{"xcb;offscreen", "", ""}, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("platform \"" + c.session.platform + "\", DISPLAY \"" + c.session.x11Display
                     + "\", WAYLAND_DISPLAY \"" + c.session.waylandDisplay + "\"");
        const std::optional<std::string> line = missingDesktopSession(c.session);
        ASSERT_EQ(line.has_value(), c.complains);
        if (!line)
            continue;
        EXPECT_EQ(line->find('\n'), std::string::npos) << "one line";
        EXPECT_NE(line->find("needs a desktop session (X11 or Wayland)"), std::string::npos) << *line;
        EXPECT_NE(line->find(c.names), std::string::npos) << *line;
    }
}

TEST(DesktopSession, QtsPlatformArgumentOutranksTheEnvironment)
{
    const ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    const ScopedEnv x11("DISPLAY", ":7");
    const ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    const char* plain[] = {"zavio"};
    DesktopSession session = DesktopSession::ofProcess(1, plain);
    EXPECT_EQ(session.platform, "xcb");
    EXPECT_EQ(session.x11Display, ":7");
    EXPECT_EQ(session.waylandDisplay, "");

    for (const char* option : {"-platform", "--platform"}) {
        const char* argv[] = {"zavio", option, "offscreen"};
        EXPECT_EQ(DesktopSession::ofProcess(3, argv).platform, "offscreen") << option;
    }
    // An option without its value is Qt's to refuse.
    const char* dangling[] = {"zavio", "-platform"};
    EXPECT_EQ(DesktopSession::ofProcess(2, dangling).platform, "xcb");
}

TEST(DesktopSession, ASessionBusIsAnAddressOrTheRuntimeFoldersSocket)
{
    const QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const std::string folder = runtime.path().toStdString();
    // An address is used as it stands; without one only a socket named "bus"
    // in the runtime folder is a bus.
    EXPECT_TRUE(hasSessionBus("unix:path=/run/user/1000/bus", ""));
    EXPECT_FALSE(hasSessionBus("", ""));
    EXPECT_FALSE(hasSessionBus("", folder));
    QFile plain(runtime.filePath(QStringLiteral("bus")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(hasSessionBus("", folder)) << "a plain file named bus is no bus";
    ASSERT_TRUE(plain.remove());

    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    const std::string path = folder + "/bus";
    ASSERT_LT(path.size(), sizeof where.sun_path);
    std::memcpy(where.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&where), sizeof where), 0);
    EXPECT_TRUE(hasSessionBus("", folder));
    close(listener);

    // Without either the program points D-Bus at no bus before Qt starts;
    // with one it changes nothing.
    {
        const ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
        const ScopedEnv runtimeDir("XDG_RUNTIME_DIR", "/nonexistent-runtime");
        keepFromStartingSessionBus();
        ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
        EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), "disabled:");
    }
    {
        const ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
        const ScopedEnv runtimeDir("XDG_RUNTIME_DIR", folder.c_str());
        keepFromStartingSessionBus();
        EXPECT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "the runtime folder's bus is used";
    }
    {
        const ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", "unix:abstract=/tmp/dbus-desktop");
        keepFromStartingSessionBus();
        EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), "unix:abstract=/tmp/dbus-desktop");
    }
}

TEST(DesktopSession, NativeWaylandFirstUnlessTheUserChose)
{
    struct Case {
        DesktopSession session;
        const char* platform;
    };
    const Case cases[] = {
        // A Wayland session with XWayland: Wayland, X11 should Qt's Wayland plugin fail.
        {{"", ":0", "wayland-0"}, "wayland;xcb"},
        {{"", "", "wayland-0"}, "wayland"},
        // X11 alone, and nothing at all, stay Qt's to choose.
        {{"", ":0", ""}, ""},
        {{"", "", ""}, ""},
        // The user's own choice always stands.
        {{"xcb", ":0", "wayland-0"}, ""},
        {{"wayland", ":0", "wayland-0"}, ""},
        {{"offscreen", "", "wayland-0"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("platform \"" + c.session.platform + "\", DISPLAY \"" + c.session.x11Display
                     + "\", WAYLAND_DISPLAY \"" + c.session.waylandDisplay + "\"");
        EXPECT_EQ(preferredPlatform(c.session), c.platform);
    }

    // Qt's -platform argument is the user's choice as much as the variable.
    const ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
    const ScopedEnv x11("DISPLAY", ":7");
    const ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-7");
    const char* plain[] = {"zavio"};
    EXPECT_EQ(preferredPlatform(DesktopSession::ofProcess(1, plain)), "wayland;xcb");
    const char* chosen[] = {"zavio", "-platform", "xcb"};
    EXPECT_EQ(preferredPlatform(DesktopSession::ofProcess(3, chosen)), "");
}

TEST(DesktopSession, InputMethodOfTheSessionWhenQtIsToldNone)
{
    const auto both = [](const std::string&) { return true; };
    const auto ibusOnly = [](const std::string& name) { return name == "ibus"; };
    struct Case {
        InputMethodSession session;
        bool (*hasPlugin)(const std::string&);
        const char* module;
    };
    const Case cases[] = {
        {{"", "@im=ibus", "", ""}, both, "ibus"},
        {{"", "@im=fcitx", "", "KDE"}, both, "fcitx"},
        {{"", "", "fcitx5", ""}, both, "fcitx"},
        {{"", "", "IBus", ""}, both, "ibus"},
        // XMODIFIERS goes first.
        {{"", "@im=fcitx", "ibus", ""}, both, "fcitx"},
        // GNOME's shell runs ibus itself.
        {{"", "", "", "GNOME"}, both, "ibus"},
        {{"", "", "", "ubuntu:GNOME"}, both, "ibus"},
        {{"", "", "", "GNOME-Flashback"}, both, ""},
        {{"", "", "", "KDE"}, both, ""},
        // Without Qt's plugin for it, Qt keeps its own way.
        {{"", "@im=fcitx", "", "GNOME"}, ibusOnly, ""},
        {{"", "@im=none", "xim", ""}, both, ""},
        // The user's own choice always stands.
        {{"fcitx", "@im=ibus", "ibus", "GNOME"}, both, ""},
        {{"none", "", "", "GNOME"}, both, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("QT_IM_MODULE \"" + c.session.qtModule + "\", XMODIFIERS \"" + c.session.xModifiers
                     + "\", GTK_IM_MODULE \"" + c.session.gtkModule + "\", XDG_CURRENT_DESKTOP \"" + c.session.desktop
                     + "\"");
        EXPECT_EQ(preferredInputMethod(c.session, c.hasPlugin), c.module);
    }
}
