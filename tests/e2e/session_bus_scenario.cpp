// The program leaves no process behind. Started without a session bus (no
// DBUS_SESSION_BUS_ADDRESS, no "bus" in its runtime folder), as from a bare X
// session, it must not have D-Bus start a bus of its own (dbus-launch
// --autolaunch and a dbus-daemon), which would outlive it. The processes it
// starts are told by a mark in their environment, which they inherit; the
// main window is closed as a window manager would close it, and once the
// program has ended no process with the mark may remain.

#include "BenchPhotos.h"
#include "Scenarios.h"
#include "Scene.h"
#include "imaging/JpegCodec.h"
#include "support/ChildProcess.h"
#include "support/ScopedEnv.h"
#include "support/WorkFolder.h"
#include "support/XSession.h"
#include "support/XWindows.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zavio::e2e {
namespace {

using zavio::test::ScopedEnv;

using namespace std::chrono_literals;

constexpr const char* kMarkName = "ZAVIO_E2E_SESSION_MARK";

struct Marked {
    pid_t pid;
    std::string command;
};

// The processes whose environment holds mark, this one left out.
std::vector<Marked> markedProcesses(const std::string& mark)
{
    std::vector<Marked> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number || pid == getpid())
            continue;
        const std::string proc = "/proc/" + entry.toStdString();
        // Each entry of the environment ends in a NUL.
        const std::string environment = '\0' + readFile(proc + "/environ");
        if (environment.find('\0' + mark + '\0') == std::string::npos)
            continue;
        std::string command = readFile(proc + "/cmdline");
        for (char& c : command)
            if (c == '\0')
                c = ' ';
        found.push_back({pid, command});
    }
    return found;
}

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "";
    while (!rest.empty()) {
        const size_t end = rest.find(':');
        if (access((rest.substr(0, end) + "/" + program).c_str(), X_OK) == 0)
            return true;
        rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    }
    return false;
}

} // namespace

void sessionBusScenario(const std::string& program)
{
    // Without it nothing could start a bus, and the check would prove nothing.
    if (!onPath("dbus-launch"))
        throw Failure("dbus-launch is not installed (package dbus-x11, see scripts/deps.sh)");
    const WorkFolder work;
    const QString folder = work.makeFolder(QStringLiteral("pictures"));
    writeBytes(folder + QStringLiteral("/a.jpg"), TJPEGImage::encode(bench::makePhoto(9, 200, 150)));

    // The X server is the test's own; only what starts after it is marked.
    XSession session(work.logs());
    Display* display = session.display();
    const std::string mark = std::string(kMarkName) + "=" + std::to_string(getpid()) + "-"
        + std::to_string(Clock::now().time_since_epoch().count());
    const ScopedEnv marked(kMarkName, mark.substr(mark.find('=') + 1).c_str());
    const ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
    const ScopedEnv starter("DBUS_STARTER_ADDRESS", nullptr);
    const ScopedEnv starterType("DBUS_STARTER_BUS_TYPE", nullptr);

    std::vector<Marked> left;
    {
        ProgramUnderTest zavio(session, program, folder.toStdString(), work.logs());
        const auto start = Clock::now();
        Scene scene(zavio, display);
        scene.waitForThumbnails(1);
        // Qt asks for the bus while it makes the windows; a started bus has
        // had time to come up by now.
        std::this_thread::sleep_for(1s);
        const std::vector<Marked> running = markedProcesses(mark);
        for (const Marked& process : running)
            std::printf("started by the program: %d %s\n", int(process.pid), process.command.c_str());
        sendDeleteWindow(display, scene.main.window);
        const std::string end = zavio.waitForEnd(10s, "its main window was closed");
        std::printf("the program %s %lld ms after its start\n", end.c_str(), msSince(start));
        std::this_thread::sleep_for(500ms);
        left = markedProcesses(mark);
    }
    if (left.empty()) {
        std::printf("no process of the program is left\n");
        return;
    }
    std::string described;
    for (const Marked& process : left) {
        described += "\n  " + std::to_string(process.pid) + " " + process.command;
        // They are this test's own; none may outlive it either.
        kill(process.pid, SIGTERM);
    }
    throw Failure("the program ended without a session bus, but processes it started are still running:" + described);
}

} // namespace zavio::e2e
