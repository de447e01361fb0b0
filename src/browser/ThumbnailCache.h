#pragma once

#include "imaging/TBitmap.h"

#include <QHash>
#include <QString>
#include <list>
#include <optional>

namespace zavio {

// What a drawn cell depends on: the file as it is on disk and the cell size.
struct CellKey {
    QString path;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    int cellWidth = 0;
    int cellHeight = 0;

    QString text() const;
    // The key of the file as it is now; nothing when it cannot be examined.
    static std::optional<CellKey> of(const QString& path, int cellWidth, int cellHeight);
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
        QString key;
        TBitmap cell;
    };
    int capacity_;
    std::list<Entry> order_; // most recently used first
    QHash<QString, std::list<Entry>::iterator> index_;
};

} // namespace zavio
