#include "common/AtomicFile.h"

#include "imaging/FileHandle.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace zavio {

namespace {

[[noreturn]] void failWith(const QString& name, int error)
{
    throw WriteError(QStringLiteral("ファイルを保存できません: %1\n%2").arg(name, systemText(error)));
}

// The real path of a symbolic link, so that writing replaces the file it
// points to; any other path, or a link that leads nowhere, as it is.
QByteArray followLink(const QByteArray& path)
{
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.constData(), nullptr), &std::free);
    return resolved ? QByteArray(resolved.get()) : path;
}

// The new content, under a hidden name in the target's folder until it is
// renamed over the target; removed unless it was.
class TemporaryFile {
public:
    explicit TemporaryFile(const QByteArray& target) : handle_(createBeside(target, path_)) {}
    ~TemporaryFile()
    {
        handle_.close();
        if (created_ && !renamed_)
            ::unlink(path_.constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    FileHandle& handle() { return handle_; }
    const QByteArray& path() const { return path_; }
    void markRenamed() { renamed_ = true; }

private:
    // Opens a new file in target's folder and sets path to its name; the
    // descriptor is negative, with errno set, when none could be made.
    static int createBeside(const QByteArray& target, QByteArray& path)
    {
        const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
        int fd = -1;
        // A clash with an existing name is vanishingly rare; one that keeps
        // coming back means something else is wrong.
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            path = folder + ".zavio-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
            fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        return fd;
    }

    QByteArray path_; // before handle_, which is made from it
    FileHandle handle_;
    bool created_ = handle_.fd() >= 0; // a name that was not made here is not removed
    bool renamed_ = false;
};

bool writeAll(int fd, QByteArrayView bytes)
{
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

// Makes the rename itself durable. A file system that cannot sync folders
// says so with EINVAL; only a real input/output error is worth reporting,
// and then the new content is already in place.
void syncFolderOf(const QByteArray& path, const QString& name)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    const FileHandle handle(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.fd() >= 0 && ::fsync(handle.fd()) != 0 && errno == EIO)
        throw WriteError(QStringLiteral("ファイルは書き換えましたが、ディスクへの書き込みを確かめられません: %1\n%2")
                             .arg(name, systemText(EIO)));
}

} // namespace

void writeFileAtomically(const FilePath& target, QByteArrayView bytes)
{
    const QString& name = target.text();
    if (target.isEmpty())
        throw WriteError(QStringLiteral("保存するファイルの名前がありません。"));
    const QByteArray path = followLink(target.native());

    struct stat existing {};
    const bool exists = ::stat(path.constData(), &existing) == 0;
    if (!exists && errno != ENOENT)
        failWith(name, errno);
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            failWith(name, EISDIR);
        // A device or a pipe under a picture's name is not replaced by a file.
        if (!S_ISREG(existing.st_mode))
            throw WriteError(QStringLiteral("ファイルを保存できません（通常のファイルではありません）: %1").arg(name));
        // The rename below would replace even a file the user may not write;
        // such a file is refused as writing into it would be.
        if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
            failWith(name, errno);
    }

    TemporaryFile temporary(path);
    const int fd = temporary.handle().fd();
    if (fd < 0)
        failWith(name, errno);
    if (exists) {
        // Keeping the owner needs privileges a user seldom has; the file is
        // then the user's own, as any file the user writes anew.
        [[maybe_unused]] const int owned = ::fchown(fd, existing.st_uid, existing.st_gid);
        if (::fchmod(fd, existing.st_mode & 07777) != 0)
            failWith(name, errno);
    }
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0 || !temporary.handle().close())
        failWith(name, errno);
    if (::rename(temporary.path().constData(), path.constData()) != 0)
        failWith(name, errno);
    temporary.markRenamed();
    syncFolderOf(path, name);
}

} // namespace zavio
