#pragma once

#include "browser/BrowseCounters.h"
#include "browser/ThumbnailCache.h"
#include "imaging/TBitmap.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace zavio {

// Where the page fill puts what it draws: the main window, or a test.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual void clearPage() = 0;
    virtual void drawCell(int cell, const TBitmap& image) = 0;
    virtual void setCaption(int cell, const QString& name) = 0;
    // Called after each picture of a folder too small to page through.
    virtual void disablePaging() = 0;
};

// The picture of one file drawn into a silver cell of the given size, or
// nothing for a file of no known picture kind. The file is decoded into
// scratch, whose buffer serves picture after picture. Throws PictureError.
std::optional<TBitmap> renderThumbnailCell(const QString& path, int cellWidth, int cellHeight, TBitmap& scratch);

// The page fill: clears the page, then draws the pictures from ListPosition on
// into cells CellNumber onward, moving both counters as it goes. The pictures
// are decoded on worker threads and drawn in list order on the caller's thread;
// the result, the counters and the stop at the first picture that fails are
// those of drawing one picture after the other.
class PageFiller {
public:
    using Renderer =
        std::function<std::optional<TBitmap>(const QString& path, int cellWidth, int cellHeight, TBitmap& scratch)>;

    PageFiller();

    void setThreads(int threads) { threads_ = threads < 1 ? 1 : threads; }
    int threads() const { return threads_; }
    void setCellSize(int width, int height);
    // Replaces how a cell is drawn from a file; it must be safe to call from several threads.
    void setRenderer(Renderer renderer) { renderer_ = std::move(renderer); }
    void clearCache() { cache_.clear(); }
    const ThumbnailCache& cache() const { return cache_; }

    // Throws PictureError naming the file that could not be shown; the counters
    // then point at that file and its cell.
    void fill(BrowseCounters& counters, const QStringList& items, const QString& folder, PageSink& sink);

private:
    struct Outcome;
    Outcome render(const QString& path, TBitmap& scratch) const;

    int threads_ = 1;
    int cellWidth_ = 131;
    int cellHeight_ = 101;
    Renderer renderer_;
    ThumbnailCache cache_;
    // The cell of the last picture loaded: what a file of no known kind shows.
    TBitmap lastCell_;
};

} // namespace zavio
