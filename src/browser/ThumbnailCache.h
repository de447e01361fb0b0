#pragma once

#include "imaging/FilePath.h"
#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QHash>
#include <list>
#include <mutex>
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
// Cells drawn ahead of time, for pages not shown yet, are held apart from
// the shown ones: at most prefetchCapacity of them, the oldest dropped first,
// until a fill finds one and it counts as shown. Safe to use from several
// threads; every call holds the lock only for the lookup itself.
class ThumbnailCache {
public:
    // The shown and the drawn-ahead cells together never pass capacity; the
    // default holds many pages besides the two drawn ahead.
    explicit ThumbnailCache(int capacity = 600, int prefetchCapacity = 40);

    std::optional<TBitmap> find(const CellKey& key);
    // Whether the cell is held, without counting as a use of it.
    bool contains(const CellKey& key) const;
    void store(const CellKey& key, const TBitmap& cell);
    // Stores a cell drawn ahead of time; a cell already held stays as it is.
    void storePrefetched(const CellKey& key, const TBitmap& cell);
    void clear();
    int size() const;
    // How many drawn-ahead cells no fill has found yet.
    int prefetchedCount() const;

private:
    struct Entry {
        QByteArray key;
        TBitmap cell;
        bool prefetched = false;
        std::list<QByteArray>::iterator prefetchedAt;
    };
    void insert(const QByteArray& text, const TBitmap& cell, bool prefetched);
    void drop(std::list<Entry>::iterator entry);

    mutable std::mutex mutex_;
    int capacity_;
    int prefetchCapacity_;
    std::list<Entry> order_; // most recently used first
    std::list<QByteArray> prefetched_; // drawn-ahead cells, newest first
    QHash<QByteArray, std::list<Entry>::iterator> index_;
};

} // namespace zavio
