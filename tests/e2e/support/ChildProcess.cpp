#include "support/ChildProcess.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zavio::e2e {

using namespace std::chrono_literals;

std::string readFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

std::string absoluteProgram(const char* path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    if (error || !std::filesystem::exists(absolute))
        throw Failure(std::string("program not found: ") + path);
    return absolute.string();
}

ChildProcess::ChildProcess(std::vector<std::string> argv, const std::string& logPath,
                           const std::function<void()>& setup, int keepFd)
    : name_(argv.at(0)), logPath_(logPath)
{
    std::vector<char*> args;
    for (std::string& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0)
        throw Failure("fork failed: " + std::string(std::strerror(errno)));
    if (pid_ == 0) {
        // Die with the test even when it is killed outright.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
            close(log);
        }
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            close(null);
        }
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        if (setup)
            setup();
        execvp(args[0], args.data());
        std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
        _exit(127);
    }
}

std::optional<std::string> ChildProcess::ended()
{
    if (pid_ <= 0)
        return describe(status_);
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        status_ = status;
        return describe(status);
    }
    return std::nullopt;
}

void ChildProcess::stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + 3s;
    while (Clock::now() < deadline) {
        if (waitpid(pid_, &status_, WNOHANG) == pid_) {
            pid_ = 0;
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    pid_ = 0;
}

std::string ChildProcess::describe(int status)
{
    if (WIFEXITED(status))
        return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "ended";
}

Pipe::Pipe()
{
    if (pipe2(fds_, O_CLOEXEC) != 0)
        throw Failure("pipe failed: " + std::string(std::strerror(errno)));
}

Pipe::~Pipe()
{
    closeRead();
    closeWrite();
}

void Pipe::closeFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace zavio::e2e
