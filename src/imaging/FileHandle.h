#pragma once

#include <QString>

#include <cstring>
#include <unistd.h>

namespace zavio {

// A file descriptor closed when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return fd_; }
    // Closes now, for a caller that must know whether closing failed (it
    // reports a delayed write error); errno tells why when it returns false.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// The system's text for an errno value.
inline QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace zavio
