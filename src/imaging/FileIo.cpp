#include "imaging/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zavio::io {

namespace {

FaultHook& hook()
{
    static FaultHook installed;
    return installed;
}

// The errno value a test chose for this call, 0 when it runs for real.
int injected(Call call)
{
    const FaultHook& fault = hook();
    return fault ? fault(call) : 0;
}

template <typename Op>
auto retryingInterrupts(Op op)
{
    for (;;) {
        const auto result = op();
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

} // namespace

FaultHook setFaultHook(FaultHook next)
{
    return std::exchange(hook(), std::move(next));
}

int openAt(int dir, const char* path, int flags, mode_t mode)
{
    if (const int error = injected(Call::Open)) {
        errno = error;
        return -1;
    }
    return retryingInterrupts([&] { return ::openat(dir, path, flags, mode); });
}

ssize_t preadSome(int fd, void* buffer, size_t size, off_t offset)
{
    if (const int error = injected(Call::Read)) {
        errno = error;
        return -1;
    }
    return retryingInterrupts([&] { return ::pread(fd, buffer, size, offset); });
}

int fsync(int fd)
{
    if (const int error = injected(Call::Sync)) {
        errno = error;
        return -1;
    }
    return retryingInterrupts([&] { return ::fsync(fd); });
}

int renameAt(int fromDir, const char* from, int toDir, const char* to)
{
    if (const int error = injected(Call::Rename)) {
        errno = error;
        return -1;
    }
    return ::renameat(fromDir, from, toDir, to);
}

int close(int fd)
{
    const int error = injected(Call::Close);
    // Linux releases the descriptor even when close reports an error, so it
    // is never closed twice.
    const int result = ::close(fd);
    if (error) {
        errno = error;
        return -1;
    }
    return result;
}

int ftruncate(int fd, off_t length)
{
    if (const int error = injected(Call::Truncate)) {
        errno = error;
        return -1;
    }
    return retryingInterrupts([&] { return ::ftruncate(fd, length); });
}

int unlinkAt(int dir, const char* path, int flags)
{
    if (const int error = injected(Call::Unlink)) {
        errno = error;
        return -1;
    }
    return ::unlinkat(dir, path, flags);
}

int fchmod(int fd, mode_t mode)
{
    if (const int error = injected(Call::Chmod)) {
        errno = error;
        return -1;
    }
    return ::fchmod(fd, mode);
}

int flock(int fd, int operation)
{
    if (const int error = injected(Call::Lock)) {
        errno = error;
        return -1;
    }
    return retryingInterrupts([&] { return ::flock(fd, operation); });
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        if (const int error = injected(Call::Write)) {
            errno = error;
            return false;
        }
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace zavio::io
