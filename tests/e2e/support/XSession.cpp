#include "support/XSession.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zavio::e2e {
namespace {

using namespace std::chrono_literals;

// X errors (a window that vanished between listing and reading it) are
// ignored instead of ending the process, as Xlib's default handler would.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// Xvfb writes the number of the display it chose to the pipe.
int readDisplayNumber(Pipe& pipe, ChildProcess& xvfb)
{
    std::string text;
    const auto deadline = Clock::now() + 15s;
    while (Clock::now() < deadline) {
        pollfd fd{pipe.readFd(), POLLIN, 0};
        if (poll(&fd, 1, 100) > 0) {
            char buffer[32];
            const ssize_t n = read(pipe.readFd(), buffer, sizeof buffer);
            if (n > 0)
                text.append(buffer, size_t(n));
            if (text.find('\n') != std::string::npos)
                return std::stoi(text);
            if (n == 0)
                break;
        }
        if (auto end = xvfb.ended())
            throw Failure("Xvfb " + *end + " before giving its display:\n" + xvfb.log());
    }
    throw Failure("Xvfb gave no display number:\n" + xvfb.log());
}

std::vector<std::string> xvfbCommand(int displayFd, int width, int height)
{
    return {"Xvfb",      "-displayfd", std::to_string(displayFd),
            "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
            "-nolisten", "tcp"};
}

} // namespace

void DisplayCloser::operator()(Display* display) const
{
    XCloseDisplay(display);
}

XSession::XSession(const std::string& logFolder, int width, int height)
    : xvfb_(xvfbCommand(displayPipe_.writeFd(), width, height), logFolder + "/xvfb.log", {}, displayPipe_.writeFd())
{
    displayPipe_.closeWrite();
    displayName_ = std::string(":") + std::to_string(readDisplayNumber(displayPipe_, xvfb_));
    displayPipe_.closeRead();

    XSetErrorHandler(ignoreXError);
    display_.reset(XOpenDisplay(displayName_.c_str()));
    if (!display_)
        throw Failure("cannot open Xvfb display " + displayName_ + ":\n" + xvfb_.log());
    int xtestEvent = 0;
    int xtestError = 0;
    int xtestMajor = 0;
    int xtestMinor = 0;
    if (!XTestQueryExtension(display_.get(), &xtestEvent, &xtestError, &xtestMajor, &xtestMinor))
        throw Failure("Xvfb offers no XTEST extension, so no input can be sent:\n" + xvfb_.log());
}

namespace {

// A private runtime folder keeps Qt from warning about a missing one.
std::string makeRuntimeFolder(const std::string& logFolder)
{
    const std::string runtime = logFolder + "/runtime";
    if (mkdir(runtime.c_str(), 0700) != 0 && errno != EEXIST)
        throw Failure("cannot make " + runtime);
    return runtime;
}

} // namespace

ProgramUnderTest::ProgramUnderTest(const XSession& session, const std::string& program, const std::string& folder,
                                   const std::string& logFolder)
    : logPath_(logFolder + "/zavio.log"), runtime_(makeRuntimeFolder(logFolder)), process_({program}, logPath_, [&] {
          if (chdir(folder.c_str()) != 0)
              _exit(126);
          setenv("DISPLAY", session.displayName().c_str(), 1);
          setenv("QT_QPA_PLATFORM", "xcb", 1);
          setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
      })
{}

std::string ProgramUnderTest::output() const
{
    return "\n--- program output ---\n" + process_.log();
}

void ProgramUnderTest::expectRunning(const std::string& when)
{
    if (auto end = process_.ended())
        throw Failure("the program " + *end + " " + when + output());
}

std::optional<std::string> ProgramUnderTest::pollUntil(std::chrono::milliseconds limit, const std::string& what,
                                                       const Check& check, std::chrono::milliseconds interval)
{
    const auto begin = Clock::now();
    for (;;) {
        expectRunning("while waiting for " + what);
        std::optional<std::string> complaint = check();
        if (!complaint || Clock::now() - begin > limit)
            return complaint;
        std::this_thread::sleep_for(interval);
    }
}

void ProgramUnderTest::waitUntil(std::chrono::milliseconds limit, const std::string& what, const Check& check,
                                 std::chrono::milliseconds interval)
{
    if (const std::optional<std::string> complaint = pollUntil(limit, what, check, interval))
        throw Failure("no " + what + " within " + std::to_string(limit.count()) + " ms: " + *complaint + output());
}

TitledWindow ProgramUnderTest::waitForWindow(Display* display, std::chrono::milliseconds limit, const std::string& what,
                                             const TitleTest& wanted)
{
    std::optional<TitledWindow> found;
    waitUntil(
        limit, what,
        [&]() -> std::optional<std::string> {
            found = findTitledWindow(display, wanted);
            if (found)
                return std::nullopt;
            return describeTopLevels(display);
        },
        std::chrono::milliseconds(50));
    return *found;
}

std::string ProgramUnderTest::waitForEnd(std::chrono::milliseconds limit, const std::string& what)
{
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (auto end = process_.ended())
            return *end;
        if (Clock::now() > deadline)
            throw Failure("the program did not end within " + std::to_string(limit.count()) + " ms after " + what
                          + output());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void ProgramUnderTest::waitForUnmap(Display* display, Window window, std::chrono::milliseconds limit,
                                    const std::string& what)
{
    waitUntil(limit, what, [&]() -> std::optional<std::string> {
        const WindowState state = windowState(display, window);
        if (!state.mapped)
            return std::nullopt;
        return "the window is " + state.text();
    });
}

bool openboxInstalled()
{
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "";
    while (!rest.empty()) {
        const size_t end = rest.find(':');
        if (access((rest.substr(0, end) + "/openbox").c_str(), X_OK) == 0)
            return true;
        rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    }
    return false;
}

std::unique_ptr<ChildProcess> startOpenbox(const XSession& session, const std::string& logFolder)
{
    const std::string name = session.displayName();
    auto openbox =
        std::make_unique<ChildProcess>(std::vector<std::string>{"openbox", "--sm-disable"}, logFolder + "/openbox.log",
                                       [name] { setenv("DISPLAY", name.c_str(), 1); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!windowManagerRunning(session.display())) {
        if (auto end = openbox->ended())
            throw Failure("openbox " + *end + ":\n" + openbox->log());
        if (std::chrono::steady_clock::now() > deadline)
            throw Failure("openbox did not take the screen within 10 s:\n" + openbox->log());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return openbox;
}

} // namespace zavio::e2e
