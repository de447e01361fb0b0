#include "browser/ThumbnailCache.h"

#include <QFile>
#include <sys/stat.h>

namespace zavio {

QString CellKey::text() const
{
    return QStringLiteral("%1\n%2\n%3\n%4x%5")
        .arg(path)
        .arg(size)
        .arg(modifiedNs)
        .arg(cellWidth)
        .arg(cellHeight);
}

std::optional<CellKey> CellKey::of(const QString& path, int cellWidth, int cellHeight)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    CellKey key;
    key.path = path;
    key.size = qint64(info.st_size);
    key.modifiedNs = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
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
    const QString text = key.text();
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
