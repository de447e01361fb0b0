#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zavio::e2e {

using Clock = std::chrono::steady_clock;

// Whole milliseconds from then to now, for the scenarios' progress lines.
inline long long msSince(Clock::time_point then)
{
    return (long long)std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// What a scenario throws when the program does not do what it should; main
// prints it and fails.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The whole file, or nothing when it cannot be read.
std::string readFile(const std::string& path);

// The program's absolute path; throws when there is no such file.
std::string absoluteProgram(const char* path);

// A child process that is stopped (SIGTERM, then SIGKILL) and reaped when the
// guard goes out of scope, so neither the program nor Xvfb outlives the test.
class ChildProcess {
public:
    // Runs argv with stdout and stderr to logPath. setup runs in the child
    // before exec (working folder, environment). keepFd stays open across exec.
    ChildProcess(std::vector<std::string> argv, const std::string& logPath, const std::function<void()>& setup = {},
                 int keepFd = -1);
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit description when the process has ended, nothing while it runs.
    std::optional<std::string> ended();
    void stop();

    std::string log() const { return readFile(logPath_); }
    const std::string& name() const { return name_; }

private:
    static std::string describe(int status);

    std::string name_;
    std::string logPath_;
    pid_t pid_ = -1;
    int status_ = 0;
};

// Both ends of a pipe, closed when it goes out of scope; neither is inherited
// across exec unless handed on by name.
class Pipe {
public:
    Pipe();
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int readFd() const { return fds_[0]; }
    int writeFd() const { return fds_[1]; }
    void closeRead() { closeFd(fds_[0]); }
    void closeWrite() { closeFd(fds_[1]); }

private:
    static void closeFd(int& fd);
    int fds_[2] = {-1, -1};
};

} // namespace zavio::e2e
