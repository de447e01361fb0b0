#include "browser/ThumbnailCache.h"

#include "imaging/FileHandle.h"

#include <algorithm>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zavio {

QByteArray CellKey::text() const
{
    return path + '\n' + QByteArray::number(device) + ':' + QByteArray::number(inode) + '\n' + QByteArray::number(size)
        + '\n' + QByteArray::number(modifiedNs) + '\n' + QByteArray::number(changedNs) + '\n'
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

ThumbnailCache::ThumbnailCache(int capacity, int prefetchCapacity)
    : capacity_(std::max(capacity, 1)), prefetchCapacity_(std::clamp(prefetchCapacity, 0, capacity_))
{}

std::optional<TBitmap> ThumbnailCache::find(const CellKey& key)
{
    const std::lock_guard lock(mutex_);
    const auto found = index_.find(key.text());
    if (found == index_.end())
        return std::nullopt;
    const auto entry = found.value();
    if (entry->prefetched) {
        prefetched_.erase(entry->prefetchedAt);
        entry->prefetched = false;
    }
    order_.splice(order_.begin(), order_, entry);
    return order_.front().cell;
}

bool ThumbnailCache::contains(const CellKey& key) const
{
    const std::lock_guard lock(mutex_);
    return index_.contains(key.text());
}

void ThumbnailCache::store(const CellKey& key, const TBitmap& cell)
{
    const QByteArray text = key.text();
    const std::lock_guard lock(mutex_);
    if (const auto found = index_.find(text); found != index_.end()) {
        const auto entry = found.value();
        entry->cell = cell;
        if (entry->prefetched) {
            prefetched_.erase(entry->prefetchedAt);
            entry->prefetched = false;
        }
        order_.splice(order_.begin(), order_, entry);
        return;
    }
    insert(text, cell, false);
}

void ThumbnailCache::storePrefetched(const CellKey& key, const TBitmap& cell)
{
    const QByteArray text = key.text();
    const std::lock_guard lock(mutex_);
    if (prefetchCapacity_ == 0 || index_.contains(text))
        return;
    while (int(prefetched_.size()) >= prefetchCapacity_)
        drop(index_.value(prefetched_.back()));
    insert(text, cell, true);
}

void ThumbnailCache::insert(const QByteArray& text, const TBitmap& cell, bool prefetched)
{
    order_.push_front(Entry{text, cell, prefetched, {}});
    if (prefetched) {
        prefetched_.push_front(text);
        order_.front().prefetchedAt = prefetched_.begin();
    }
    index_.insert(text, order_.begin());
    while (int(order_.size()) > capacity_)
        drop(std::prev(order_.end()));
}

void ThumbnailCache::drop(std::list<Entry>::iterator entry)
{
    if (entry->prefetched)
        prefetched_.erase(entry->prefetchedAt);
    index_.remove(entry->key);
    order_.erase(entry);
}

void ThumbnailCache::clear()
{
    const std::lock_guard lock(mutex_);
    order_.clear();
    prefetched_.clear();
    index_.clear();
}

int ThumbnailCache::size() const
{
    const std::lock_guard lock(mutex_);
    return int(order_.size());
}

int ThumbnailCache::prefetchedCount() const
{
    const std::lock_guard lock(mutex_);
    return int(prefetched_.size());
}

} // namespace zavio
