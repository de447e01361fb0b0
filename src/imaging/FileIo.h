#pragma once

// The file-system calls that write or replace a file, in one place. Every
// write path of the program (saving a picture, every change of "coment.txt")
// goes through them, so that a test can make any one of them fail as a full
// disk, a medium turned read-only or a vanished share would, and then check
// that nothing was lost.

#include <QByteArrayView>
#include <functional>
#include <sys/types.h>

namespace zavio::io {

// The kinds of call a test can make fail.
enum class Call { Open, Read, Write, Sync, Rename, Close, Truncate, Unlink, Chmod, Lock };

// Decides, before each call, whether it fails: returns the errno value to fail
// it with, or 0 to let it run. Tests only; the program runs without one.
using FaultHook = std::function<int(Call)>;
// Installs hook and returns the previous one; an empty hook ends the faults.
FaultHook setFaultHook(FaultHook hook);

// The calls themselves: as their POSIX namesakes, retrying on EINTR where a
// retry is the right answer. A failing close still releases the descriptor.
int openAt(int dir, const char* path, int flags, mode_t mode = 0);
ssize_t preadSome(int fd, void* buffer, size_t size, off_t offset);
int fsync(int fd);
int renameAt(int fromDir, const char* from, int toDir, const char* to);
int close(int fd);
int ftruncate(int fd, off_t length);
int unlinkAt(int dir, const char* path, int flags);
int fchmod(int fd, mode_t mode);
int flock(int fd, int operation);

// Writes all of bytes, in as many calls as the file takes. False, with errno
// set, when a call fails or the file takes nothing (ENOSPC then).
[[nodiscard]] bool writeAll(int fd, QByteArrayView bytes);

} // namespace zavio::io
