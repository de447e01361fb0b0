#pragma once

#include "browser/BrowseCounters.h"
#include "browser/ThumbnailCache.h"
#include "imaging/FilePath.h"
#include "imaging/TBitmap.h"

#include <QString>
#include <functional>
#include <memory>
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
//
// After a fill, prefetchAround draws the cells of the page "次へ" would show,
// then of the page "前へ" would show, into the cache on background threads
// while the user looks at the page, so that the next fill finds them there. A
// fill stops that work at once and never waits for it; a picture that fails
// in the background is left for the fill to decode and report.
class PageFiller {
public:
    using Renderer =
        std::function<std::optional<TBitmap>(const FilePath& path, int cellWidth, int cellHeight, TBitmap& scratch)>;

    PageFiller();
    ~PageFiller();
    PageFiller(PageFiller&&) noexcept;
    PageFiller& operator=(PageFiller&&) noexcept;

    void setThreads(int threads) { threads_ = threads < 1 ? 1 : threads; }
    int threads() const { return threads_; }
    // The cells' size in device pixels: what the pictures are fitted and
    // sampled into, and what the cache keys them by.
    void setCellSize(int width, int height);
    // Replaces how a cell is drawn from a file; it must be safe to call from several threads.
    void setRenderer(Renderer renderer);
    void clearCache();
    const ThumbnailCache& cache() const { return *cache_; }

    // Returns the pictures of the page that could not be shown, in cell order.
    std::vector<PageFailure> fill(BrowseCounters& counters, const std::vector<FilePath>& items, const FilePath& folder,
                                  PageSink& sink);

    // Whether prefetchAround draws pages ahead; on by default. Turning it off
    // stops the work in hand.
    void setBackgroundWork(bool on);
    bool backgroundWork() const { return backgroundWork_; }
    // Starts drawing, into the cache, the pages that "次へ" and then "前へ"
    // would show from these counters (those a fill has just left). Returns at
    // once; replaces the work of an earlier call.
    void prefetchAround(const BrowseCounters& counters, const std::vector<FilePath>& items, const FilePath& folder);
    // Drops the background work that has not started and stops a picture
    // being decoded within a few of its rows; nothing of it reaches the cache
    // and the fill decodes that file itself. Never waits.
    void stopBackgroundWork();
    // Whether no background work is queued or running.
    bool backgroundIdle() const;

private:
    struct Outcome;
    class Background;
    static Outcome render(const Renderer& renderer, const FilePath& path, int width, int height, TBitmap& scratch);
    const TBitmap& brokenCell();

    int threads_ = 1;
    int cellWidth_ = 131;
    int cellHeight_ = 101;
    bool backgroundWork_ = true;
    Renderer renderer_;
    // Shared with the background threads, which store what they draw.
    std::shared_ptr<ThumbnailCache> cache_;
    // The cell of the last picture loaded: what a file of no known kind shows.
    TBitmap lastCell_;
    TBitmap brokenCell_;
    std::unique_ptr<Background> background_;
};

} // namespace zavio
