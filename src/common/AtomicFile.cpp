#include "common/AtomicFile.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace zavio {

namespace {

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

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray hiddenScratchName()
{
    return ".zavio-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
}

} // namespace

FileReplacement::FileReplacement(const FilePath& target, QByteArrayView scratchName) : name_(target.text())
{
    if (target.isEmpty())
        throw WriteError(QStringLiteral("保存するファイルの名前がありません。"), ENOENT);
    const QByteArray path = followLink(target.native());
    fileName_ = path.mid(path.lastIndexOf('/') + 1);

    struct stat existing {};
    exists_ = ::stat(path.constData(), &existing) == 0;
    if (!exists_ && errno != ENOENT)
        fail(errno);
    if (exists_) {
        if (S_ISDIR(existing.st_mode))
            fail(EISDIR);
        // A device or a pipe under the file's name is not replaced by a file.
        if (!S_ISREG(existing.st_mode))
            throw WriteError(QStringLiteral("ファイルを保存できません（通常のファイルではありません）: %1").arg(name_),
                             EINVAL);
        // The rename below would replace even a file the user may not write;
        // such a file is refused as writing into it would be.
        if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
            fail(errno);
        mode_ = existing.st_mode & 07777;
        owner_ = existing.st_uid;
        group_ = existing.st_gid;
    }

    folder_ = FileHandle(io::openAt(AT_FDCWD, folderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_)
        fail(errno);
    constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    if (!scratchName.isEmpty()) {
        // A scratch file left by an earlier run that was cut short is stale.
        scratch_ = scratchName.toByteArray();
        io::unlinkAt(folder_.fd(), scratch_.constData(), 0);
        file_ = FileHandle(io::openAt(folder_.fd(), scratch_.constData(), kCreate, 0666));
    } else {
        // A clash with an existing name is vanishingly rare; one that keeps
        // coming back means something else is wrong.
        for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
            scratch_ = hiddenScratchName();
            file_ = FileHandle(io::openAt(folder_.fd(), scratch_.constData(), kCreate, 0666));
            if (!file_ && errno != EEXIST)
                break;
        }
    }
    if (!file_)
        fail(errno);
}

FileReplacement::~FileReplacement()
{
    file_.reset();
    if (!committed_ && folder_ && !scratch_.isEmpty())
        io::unlinkAt(folder_.fd(), scratch_.constData(), 0);
}

void FileReplacement::fail(int error) const
{
    throw WriteError(QStringLiteral("ファイルを保存できません: %1\n%2").arg(name_, systemText(error)), error);
}

void FileReplacement::write(QByteArrayView bytes)
{
    if (!file_ || !io::writeAll(file_.fd(), bytes))
        fail(file_ ? errno : EBADF);
}

void FileReplacement::commit()
{
    if (!file_)
        fail(EBADF);
    if (exists_) {
        // Keeping the owner needs privileges a user seldom has; the group can
        // be kept by any member of it, so that others sharing the folder can
        // still write the file. Where neither is allowed the file is simply
        // the user's own, as any file the user writes anew.
        if (::fchown(file_.fd(), owner_, group_) != 0 && ::fchown(file_.fd(), uid_t(-1), group_) != 0) {
            // Neither could be kept; the file now belongs to the user alone.
        }
        // Set after the owner, as changing it clears the set-id bits.
        if (io::fchmod(file_.fd(), mode_) != 0)
            fail(errno);
    }
    if (io::fsync(file_.fd()) != 0 || !file_.close())
        fail(errno);
    if (io::renameAt(folder_.fd(), scratch_.constData(), folder_.fd(), fileName_.constData()) != 0)
        fail(errno);
    committed_ = true;
    // Makes the rename itself durable. A file system that cannot sync folders
    // says so with EINVAL; only a real input/output error is worth reporting,
    // and then the new content is already in place.
    if (io::fsync(folder_.fd()) != 0 && errno == EIO)
        throw WriteError(QStringLiteral("ファイルは書き換えましたが、ディスクへの書き込みを確かめられません: %1\n%2")
                             .arg(name_, systemText(EIO)),
                         EIO, true);
}

void writeFileAtomically(const FilePath& target, QByteArrayView bytes)
{
    FileReplacement replacement(target);
    replacement.write(bytes);
    replacement.commit();
}

} // namespace zavio
