#include "browser/PageFiller.h"

#include "browser/Paging.h"
#include "imaging/DecodeCancel.h"
#include "imaging/UserError.h"
#include "imaging/PictureLoader.h"
#include "imaging/StretchDraw.h"
#include "imaging/ThumbnailFit.h"

#include <QPainter>
#include <QSet>
#include <QThread>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace zavio {

std::optional<TBitmap> renderThumbnailCell(const FilePath& path, int cellWidth, int cellHeight, TBitmap& picture)
{
    if (!loadPictureInto(path, picture))
        return std::nullopt;
    stopIfDecodeCancelled();
    TBitmap cell(cellWidth, cellHeight);
    cell.fill(192, 192, 192);
    const FitRect rect = ThumbnailFit(picture.width(), picture.height(), cellWidth, cellHeight, kThumbnailMargins);
    stretchDraw(cell, rect, picture);
    return cell;
}

TBitmap brokenPictureCell(int cellWidth, int cellHeight)
{
    QImage mark(std::max(cellWidth, 1), std::max(cellHeight, 1), QImage::Format_RGB32);
    mark.fill(Qt::white);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor red(200, 0, 0);
    // Lines keep their weight in a cell drawn at a scaled screen's device pixels.
    const qreal line = 2 * std::max(1.0, std::round(mark.width() / 131.0 * 2) / 2);
    painter.setPen(QPen(red, line));
    painter.drawRect(QRectF(line / 2, line / 2, mark.width() - line, mark.height() - line));
    // A picture frame torn along a zigzag, its two halves apart.
    const qreal side = std::min(mark.width(), mark.height()) * 0.55;
    const QRectF frame(QPointF((mark.width() - side) / 2, (mark.height() - side) / 2), QSizeF(side, side * 0.8));
    const qreal tearX = frame.center().x();
    QPolygonF tear;
    for (int step = 0; step <= 4; ++step)
        tear << QPointF(tearX + ((step % 2) ? side * 0.08 : -side * 0.08), frame.top() + frame.height() * step / 4);
    QPolygonF left;
    left << frame.topLeft() << tear << frame.bottomLeft();
    QPolygonF right;
    right << frame.topRight() << tear << frame.bottomRight();
    painter.setPen(QPen(red, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(255, 220, 220));
    painter.drawPolygon(left.translated(-side * 0.06, 0));
    painter.drawPolygon(right.translated(side * 0.06, 0));
    painter.end();
    return TBitmap::fromImage(mark);
}

struct PageFiller::Outcome {
    enum class Kind { Drawn, NoPicture, Failed } kind = Kind::Failed;
    TBitmap cell;
    QString error;
};

namespace {

// The items a fill from these counters draws: the index of the first and how many.
std::pair<int, int> pageRange(const BrowseCounters& counters, int itemCount)
{
    const int wanted =
        std::min(counters.PictureCount - counters.ListPosition + 1, kCellsPerPage + 1 - counters.CellNumber);
    const int available = itemCount - (counters.ListPosition - 1);
    const int count = counters.ListPosition < 1 ? 0 : std::max(0, std::min(wanted, available));
    return {counters.ListPosition - 1, count};
}

// Background threads yield the cores to the fill's own threads, which run at
// the normal priority. Should the kernel refuse, they run at the normal
// priority too, which is only slower for the fill.
void lowerThisThreadsPriority()
{
    (void)::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
}

} // namespace

// Worker threads that draw queued cells into the cache. Each round of work
// has a generation; starting or stopping a round moves it on, so a worker
// takes no job of an old round, a decode of an old round stops within a few
// rows, and a cell of one finished late is thrown away. The lock guards only
// the queue and is never held while decoding.
class PageFiller::Background {
public:
    explicit Background(std::shared_ptr<ThumbnailCache> cache) : cache_(std::move(cache)) {}
    ~Background()
    {
        stop();
        for (std::jthread& worker : workers_)
            worker.request_stop();
    }

    void start(std::vector<FilePath> paths, Renderer renderer, int width, int height, int threads)
    {
        {
            const std::lock_guard lock(mutex_);
            ++generation_;
            jobs_ = std::move(paths);
            next_ = 0;
            renderer_ = std::move(renderer);
            width_ = width;
            height_ = height;
            limit_ = threads;
        }
        while (int(workers_.size()) < threads) {
            const int index = int(workers_.size());
            workers_.emplace_back([this, index](std::stop_token stop) { work(stop, index); });
        }
        wake_.notify_all();
    }

    void stop()
    {
        const std::lock_guard lock(mutex_);
        ++generation_;
        jobs_.clear();
        next_ = 0;
        renderer_ = nullptr;
    }

    bool idle() const
    {
        const std::lock_guard lock(mutex_);
        return busy_ == 0 && next_ >= jobs_.size();
    }

private:
    void work(const std::stop_token& stop, int index)
    {
        lowerThisThreadsPriority();
        // One decoded picture per worker at a time, in one reused buffer.
        TBitmap scratch;
        std::unique_lock lock(mutex_);
        while (wake_.wait(lock, stop, [&] { return index < limit_ && next_ < jobs_.size(); })) {
            const std::uint64_t generation = generation_;
            const FilePath path = jobs_[next_++];
            const Renderer renderer = renderer_;
            const int width = width_;
            const int height = height_;
            ++busy_;
            lock.unlock();
            std::optional<CellKey> key;
            std::optional<TBitmap> cell = draw(path, renderer, width, height, scratch, key, generation);
            lock.lock();
            --busy_;
            // Stored under the queue's lock, so no cell of a stopped round
            // reaches the cache after stop() has returned.
            if (cell && generation == generation_)
                cache_->storePrefetched(*key, *cell);
        }
    }

    // The cell as the fill would draw it, with its key; nothing for a file
    // already in the cache, of no known kind, or that fails: the fill decodes
    // that one itself and reports the failure when its page is shown. A file
    // that changed while it was decoded is left to the fill too.
    // A decode stopped because its round ended gives nothing either.
    std::optional<TBitmap> draw(const FilePath& path, const Renderer& renderer, int width, int height, TBitmap& scratch,
                                std::optional<CellKey>& key, std::uint64_t generation) const
    {
        key = CellKey::of(path, width, height);
        if (!key || cache_->contains(*key))
            return std::nullopt;
        const RoundOf round{&generation_, generation};
        Outcome outcome;
        try {
            const DecodeCancelScope scope(&RoundOf::ended, &round);
            outcome = PageFiller::render(renderer, path, width, height, scratch);
        } catch (const DecodeCancelled&) {
            return std::nullopt;
        }
        if (outcome.kind != Outcome::Kind::Drawn)
            return std::nullopt;
        const std::optional<CellKey> after = CellKey::of(path, width, height);
        if (!after || after->text() != key->text())
            return std::nullopt;
        return std::move(outcome.cell);
    }

    // What a worker's decode asks to learn whether its round is over.
    struct RoundOf {
        const std::atomic<std::uint64_t>* current;
        std::uint64_t mine;
        static bool ended(const void* context) noexcept
        {
            const auto* round = static_cast<const RoundOf*>(context);
            return round->current->load(std::memory_order_relaxed) != round->mine;
        }
    };

    std::shared_ptr<ThumbnailCache> cache_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    // Moved on under the lock; read without it by decodes in progress.
    std::atomic<std::uint64_t> generation_ = 0;
    std::vector<FilePath> jobs_;
    size_t next_ = 0;
    Renderer renderer_;
    int width_ = 0;
    int height_ = 0;
    int limit_ = 0;
    int busy_ = 0;
    // Last, so the workers are stopped and joined before the rest goes.
    std::vector<std::jthread> workers_;
};

PageFiller::PageFiller()
    : threads_(std::max(1, QThread::idealThreadCount())),
      renderer_(renderThumbnailCell),
      cache_(std::make_shared<ThumbnailCache>()),
      background_(std::make_unique<Background>(cache_))
{}

PageFiller::~PageFiller() = default;
PageFiller::PageFiller(PageFiller&&) noexcept = default;
PageFiller& PageFiller::operator=(PageFiller&&) noexcept = default;

void PageFiller::setCellSize(int width, int height)
{
    if (width != cellWidth_ || height != cellHeight_) {
        lastCell_ = TBitmap();
        stopBackgroundWork();
    }
    cellWidth_ = width;
    cellHeight_ = height;
}

void PageFiller::setRenderer(Renderer renderer)
{
    stopBackgroundWork();
    renderer_ = std::move(renderer);
}

void PageFiller::clearCache()
{
    stopBackgroundWork();
    cache_->clear();
}

void PageFiller::setBackgroundWork(bool on)
{
    backgroundWork_ = on;
    if (!on)
        stopBackgroundWork();
}

void PageFiller::stopBackgroundWork()
{
    if (background_)
        background_->stop();
}

bool PageFiller::backgroundIdle() const
{
    return !background_ || background_->idle();
}

void PageFiller::prefetchAround(const BrowseCounters& counters, const std::vector<FilePath>& items,
                                const FilePath& folder)
{
    if (!backgroundWork_ || !background_)
        return;
    // "次へ" fills from the counters as the fill left them; "前へ" steps
    // back first. A file selected or not gives the same start after a fill.
    BrowseCounters previous = counters;
    PageButtonStates unused;
    previousPageBeforeFill(previous, unused, true);
    std::vector<FilePath> paths;
    QSet<QByteArray> queued;
    for (const BrowseCounters& page : {counters, previous}) {
        const auto [first, count] = pageRange(page, int(items.size()));
        for (int i = 0; i < count; ++i) {
            FilePath path = folder.child(items[size_t(first + i)]);
            if (!queued.contains(path.native())) {
                queued.insert(path.native());
                paths.push_back(std::move(path));
            }
        }
    }
    background_->start(std::move(paths), renderer_, cellWidth_, cellHeight_, threads_);
}

const TBitmap& PageFiller::brokenCell()
{
    if (brokenCell_.width() != cellWidth_ || brokenCell_.height() != cellHeight_)
        brokenCell_ = brokenPictureCell(cellWidth_, cellHeight_);
    return brokenCell_;
}

PageFiller::Outcome PageFiller::render(const Renderer& renderer, const FilePath& path, int width, int height,
                                       TBitmap& scratch)
{
    Outcome outcome;
    try {
        if (std::optional<TBitmap> cell = renderer(path, width, height, scratch)) {
            outcome.kind = Outcome::Kind::Drawn;
            outcome.cell = std::move(*cell);
        } else {
            outcome.kind = Outcome::Kind::NoPicture;
        }
    } catch (const UserError& error) {
        outcome.error = error.message();
    } catch (const std::bad_alloc&) {
        outcome.error = QStringLiteral("画像のためのメモリが足りません: %1").arg(path.text());
    } catch (const std::exception& error) {
        outcome.error = QStringLiteral("%1\n%2").arg(path.text(), QString::fromUtf8(error.what()));
    }
    return outcome;
}

std::vector<PageFailure> PageFiller::fill(BrowseCounters& counters, const std::vector<FilePath>& items,
                                          const FilePath& folder, PageSink& sink)
{
    // The user's fill has the cores to itself; the page around it is drawn
    // ahead again once it has been shown.
    stopBackgroundWork();
    sink.clearPage();
    const auto [first, count] = pageRange(counters, int(items.size()));

    struct Slot {
        FilePath name;
        FilePath path;
        std::optional<CellKey> key;
        std::optional<Outcome> outcome;
    };
    std::vector<Slot> pending(size_t(std::max(0, count)));
    std::vector<size_t> misses;
    for (int i = 0; i < count; ++i) {
        Slot& slot = pending[size_t(i)];
        slot.name = items[size_t(first + i)];
        slot.path = folder.child(slot.name);
        slot.key = CellKey::of(slot.path, cellWidth_, cellHeight_);
        if (slot.key) {
            if (std::optional<TBitmap> cached = cache_->find(*slot.key))
                slot.outcome = Outcome{Outcome::Kind::Drawn, std::move(*cached), {}};
        }
        if (!slot.outcome)
            misses.push_back(size_t(i));
    }

    // Workers take the missing cells in list order; the caller's thread waits
    // for each slot in turn. Declared after the pending so they are joined first.
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<size_t> nextMiss{0};
    std::vector<std::jthread> workers;
    const int workerCount = threads_ > 1 ? std::min<int>(threads_, int(misses.size())) : 0;
    for (int w = 0; w < workerCount; ++w) {
        workers.emplace_back([&](std::stop_token stop) {
            // One decoded picture per worker at a time, in one reused buffer.
            TBitmap scratch;
            while (!stop.stop_requested()) {
                const size_t m = nextMiss.fetch_add(1);
                if (m >= misses.size())
                    return;
                Slot& slot = pending[misses[m]];
                Outcome outcome = render(renderer_, slot.path, cellWidth_, cellHeight_, scratch);
                {
                    std::lock_guard lock(mutex);
                    slot.outcome = std::move(outcome);
                }
                ready.notify_all();
            }
        });
    }

    std::vector<PageFailure> failures;
    TBitmap scratch;
    for (int i = 0; i < count; ++i) {
        Slot& slot = pending[size_t(i)];
        Outcome outcome;
        if (workerCount == 0) {
            if (!slot.outcome)
                slot.outcome = render(renderer_, slot.path, cellWidth_, cellHeight_, scratch);
            outcome = std::move(*slot.outcome);
        } else {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return slot.outcome.has_value(); });
            outcome = std::move(*slot.outcome);
        }

        // The previous picture is shown again for a file of no known kind, as
        // the loader left it; with none before it, the file cannot be shown.
        if (outcome.kind == Outcome::Kind::NoPicture && lastCell_.isEmpty()) {
            outcome.kind = Outcome::Kind::Failed;
            outcome.error = QStringLiteral("表示する画像がありません（高さ 0）: %1").arg(slot.path.text());
        }
        switch (outcome.kind) {
        case Outcome::Kind::Failed:
            failures.push_back({counters.CellNumber, slot.name, outcome.error});
            sink.drawCell(counters.CellNumber, brokenCell());
            break;
        case Outcome::Kind::NoPicture:
            sink.drawCell(counters.CellNumber, lastCell_);
            break;
        case Outcome::Kind::Drawn:
            lastCell_ = outcome.cell;
            if (slot.key)
                cache_->store(*slot.key, outcome.cell);
            sink.drawCell(counters.CellNumber, lastCell_);
            break;
        }
        sink.setCaption(counters.CellNumber, slot.name);
        ++counters.CellNumber;
        ++counters.ListPosition;
        if (counters.PictureCount + 1 <= kCellsPerPage)
            sink.disablePaging();
        if (counters.CellNumber > kCellsPerPage) {
            counters.CellNumber = 1;
            --counters.ListPosition;
            break;
        }
    }
    return failures;
}

} // namespace zavio
