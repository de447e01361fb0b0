#pragma once

#include "imaging/FileIo.h"

#include <QString>

#include <cstring>
#include <utility>

namespace zavio {

// A file descriptor, closed when it goes out of scope. The program's one way
// of holding a descriptor.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() { reset(); }
    FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int fd() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Closes now, for a caller that must know whether closing failed (it
    // reports a delayed write error); errno tells why when it returns false.
    [[nodiscard]] bool close()
    {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || io::close(fd) == 0;
    }
    // Closes where the outcome does not matter: the file was only read, or the
    // work is being abandoned and its failure is reported already.
    void reset()
    {
        const int fd = std::exchange(fd_, -1);
        if (fd >= 0)
            io::close(fd);
    }

private:
    int fd_ = -1;
};

// The system's text for an errno value.
inline QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace zavio
