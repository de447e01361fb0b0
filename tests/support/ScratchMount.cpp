#include "support/ScratchMount.h"

#include <QFile>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

namespace zavio::fixtures {

std::unique_ptr<ScratchMount> ScratchMount::tryMount(qint64 bytes)
{
    std::unique_ptr<ScratchMount> mount(new ScratchMount);
    if (!mount->dir_.isValid())
        return nullptr;
    mount->options_ = "size=" + QByteArray::number(bytes) + ",mode=0777";
    const QByteArray where = QFile::encodeName(mount->dir_.path());
    if (::mount("tmpfs", where.constData(), "tmpfs", MS_NOSUID | MS_NODEV, mount->options_.constData()) != 0)
        return nullptr;
    mount->mounted_ = true;
    return mount;
}

ScratchMount::~ScratchMount()
{
    if (mounted_)
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

bool ScratchMount::setReadOnly(bool readOnly)
{
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    return ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", flags, options_.constData()) == 0;
}

void ScratchMount::fillUp(const QString& name)
{
    const int fd = ::open(QFile::encodeName(filePath(name)).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    const std::vector<char> block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {}
    // Whatever room is left is smaller than a block: take it byte by byte.
    while (::write(fd, block.data(), 1) > 0) {}
    ::close(fd);
}

} // namespace zavio::fixtures
