#pragma once

#include "browser/BrowseCounters.h"
#include "browser/ThumbnailCache.h"
#include "imaging/FilePath.h"
#include "imaging/TBitmap.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace zavio {

// Where the page fill puts what it draws: the main window, or a test.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual void clearPage() = 0;
    virtual void drawCell(int cell, const TBitmap& image) = 0;
    virtual void setCaption(int cell, const FilePath& name) = 0;
    // Called after each picture of a folder too small to page through.
    virtual void disablePaging() = 0;
};

// The picture of one file drawn into a silver cell of the given size, or
// nothing for a file of no known picture kind. The file is decoded into
// scratch, whose buffer serves picture after picture. Throws PictureError.
std::optional<TBitmap> renderThumbnailCell(const FilePath& path, int cellWidth, int cellHeight, TBitmap& scratch);

// The mark of a cell whose picture cannot be shown: a torn picture in red on
// white, unlike an empty silver cell and unlike any thumbnail.
TBitmap brokenPictureCell(int cellWidth, int cellHeight);

// A picture of the page that could not be shown, and why.
struct PageFailure {
    int cell = 0;
    FilePath name;
    QString message;
};

// The page fill: clears the page, then draws the pictures from ListPosition on
// into cells CellNumber onward, moving both counters as it goes. The pictures
// are decoded on worker threads and drawn in list order on the caller's thread;
// the result and the counters are those of drawing one picture after the
// other. A picture that cannot be shown gets the broken mark and its name, the
// counters move on as for any picture, and the fill goes on.
class PageFiller {
public:
    using Renderer =
        std::function<std::optional<TBitmap>(const FilePath& path, int cellWidth, int cellHeight, TBitmap& scratch)>;

    PageFiller();

    void setThreads(int threads) { threads_ = threads < 1 ? 1 : threads; }
    int threads() const { return threads_; }
    // The cells' size in device pixels: what the pictures are fitted and
    // sampled into, and what the cache keys them by.
    void setCellSize(int width, int height);
    // Replaces how a cell is drawn from a file; it must be safe to call from several threads.
    void setRenderer(Renderer renderer) { renderer_ = std::move(renderer); }
    void clearCache() { cache_.clear(); }
    const ThumbnailCache& cache() const { return cache_; }

    // Returns the pictures of the page that could not be shown, in cell order.
    std::vector<PageFailure> fill(
        BrowseCounters& counters, const std::vector<FilePath>& items, const FilePath& folder, PageSink& sink);

private:
    struct Outcome;
    Outcome render(const FilePath& path, TBitmap& scratch) const;
    const TBitmap& brokenCell();

    int threads_ = 1;
    int cellWidth_ = 131;
    int cellHeight_ = 101;
    Renderer renderer_;
    ThumbnailCache cache_;
    // The cell of the last picture loaded: what a file of no known kind shows.
    TBitmap lastCell_;
    TBitmap brokenCell_;
};

} // namespace zavio
