#pragma once

#include "support/ChildProcess.h"
#include "support/XTypes.h"
#include "support/XWindows.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zavio::e2e {

struct DisplayCloser {
    void operator()(Display* display) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// A private Xvfb with the XTEST extension, without a window manager, and a
// connection to it. Xvfb picks a free display itself; the connection is closed
// and the server stopped when the session ends.
class XSession {
public:
    // Xvfb's output goes to logFolder/xvfb.log.
    explicit XSession(const std::string& logFolder, int width = 1280, int height = 1024);

    Display* display() const { return display_.get(); }
    // ":N", for the DISPLAY of the programs started on it.
    const std::string& displayName() const { return displayName_; }
    std::string serverLog() { return xvfb_.log(); }

private:
    Pipe displayPipe_;
    ChildProcess xvfb_;
    std::string displayName_;
    DisplayPtr display_;
};

// Whether openbox can be started (it is on PATH).
bool openboxInstalled();
// openbox on the session's display, returned once it has taken the screen;
// its output goes to logFolder/openbox.log. It is stopped with the guard.
std::unique_ptr<ChildProcess> startOpenbox(const XSession& session, const std::string& logFolder);

// A complaint about what the screen shows, or nothing when all is well.
using Check = std::function<std::optional<std::string>()>;

// The program under test, started on the session's display in folder, with
// a private runtime folder and its output kept in logFolder for failures.
// It is stopped when the guard goes out of scope.
class ProgramUnderTest {
public:
    ProgramUnderTest(const XSession& session, const std::string& program, const std::string& folder,
                     const std::string& logFolder);

    // What the program printed, headed for a failure message.
    std::string output() const;
    // Throws a failure saying when, should the program have ended.
    void expectRunning(const std::string& when);

    // Calls check every interval until it finds nothing wrong and returns
    // nothing, or returns its last complaint once limit has passed. Throws
    // when the program ends meanwhile.
    std::optional<std::string> pollUntil(std::chrono::milliseconds limit, const std::string& what, const Check& check,
                                         std::chrono::milliseconds interval = std::chrono::milliseconds(20));
    // The same, with a complaint past limit thrown as the failure.
    void waitUntil(std::chrono::milliseconds limit, const std::string& what, const Check& check,
                   std::chrono::milliseconds interval = std::chrono::milliseconds(20));

    // The first mapped window whose title passes wanted; described as what.
    TitledWindow waitForWindow(Display* display, std::chrono::milliseconds limit, const std::string& what,
                               const TitleTest& wanted);
    // Waits until the program has ended and says how it ended; described as what.
    std::string waitForEnd(std::chrono::milliseconds limit, const std::string& what);
    // Waits until window is no longer mapped (closed or hidden); described as what.
    void waitForUnmap(Display* display, Window window, std::chrono::milliseconds limit, const std::string& what);

private:
    std::string logPath_;
    std::string runtime_;
    ChildProcess process_;
};

} // namespace zavio::e2e
