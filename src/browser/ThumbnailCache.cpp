#include "browser/ThumbnailCache.h"

#include "imaging/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zavio {

QByteArray CellKey::text() const
{
    return path + '\n'
        + QByteArray::number(device) + ':' + QByteArray::number(inode) + '\n'
        + QByteArray::number(size) + '\n'
        + QByteArray::number(modifiedNs) + '\n'
        + QByteArray::number(changedNs) + '\n'
        + QByteArray::number(cellWidth) + 'x' + QByteArray::number(cellHeight);
}

std::optional<CellKey> CellKey::of(const FilePath& path, int cellWidth, int cellHeight)
{
    // Opened, not merely examined: a file that lost its read permission is
    // decoded again and reported rather than shown from memory.
    const FileHandle file(::open(path.native().constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file)
        return std::nullopt;
    struct stat info {};
    if (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    CellKey key;
    key.path = path.native();
    key.device = qint64(info.st_dev);
    key.inode = qint64(info.st_ino);
    key.size = qint64(info.st_size);
    key.modifiedNs = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    key.changedNs = qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    key.cellWidth = cellWidth;
    key.cellHeight = cellHeight;
    return key;
}

std::optional<TBitmap> ThumbnailCache::find(const CellKey& key)
{
    const auto found = index_.find(key.text());
    if (found == index_.end())
        return std::nullopt;
    order_.splice(order_.begin(), order_, found.value());
    return order_.front().cell;
}

void ThumbnailCache::store(const CellKey& key, const TBitmap& cell)
{
    const QByteArray text = key.text();
    if (const auto found = index_.find(text); found != index_.end()) {
        found.value()->cell = cell;
        order_.splice(order_.begin(), order_, found.value());
        return;
    }
    order_.push_front(Entry{text, cell});
    index_.insert(text, order_.begin());
    while (int(order_.size()) > capacity_) {
        index_.remove(order_.back().key);
        order_.pop_back();
    }
}

void ThumbnailCache::clear()
{
    order_.clear();
    index_.clear();
}

} // namespace zavio
