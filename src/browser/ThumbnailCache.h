#pragma once

#include "imaging/FilePath.h"
#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QHash>
#include <list>
#include <optional>

namespace zavio {

// What a drawn cell depends on: the file as it is on disk (its inode, size,
// and modification and change times to the nanosecond) and the cell size in
// device pixels, which changes with the screen's scale. A file replaced under
// the same name, or written within the same second to the same size, gets
// another key, and so does the same file drawn for another scale.
struct CellKey {
    QByteArray path;
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    // The cell in device pixels, the size the cell was drawn at.
    int cellWidth = 0;
    int cellHeight = 0;

    QByteArray text() const;
    // The key of the file as it is now; nothing when it is not a regular file
    // or cannot be opened for reading, so such a file is never served from
    // the cache but tried, and reported, afresh.
    static std::optional<CellKey> of(const FilePath& path, int cellWidth, int cellHeight);
};

// Drawn thumbnail cells by CellKey, least recently used dropped first, so a
// page shown before costs no decode while a changed file is decoded afresh.
class ThumbnailCache {
public:
    explicit ThumbnailCache(int capacity = 600) : capacity_(capacity) {}

    std::optional<TBitmap> find(const CellKey& key);
    void store(const CellKey& key, const TBitmap& cell);
    void clear();
    int size() const { return int(order_.size()); }

private:
    struct Entry {
        QByteArray key;
        TBitmap cell;
    };
    int capacity_;
    std::list<Entry> order_; // most recently used first
    QHash<QByteArray, std::list<Entry>::iterator> index_;
};

} // namespace zavio
