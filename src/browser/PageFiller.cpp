#include "browser/PageFiller.h"

#include "browser/FolderRules.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLoader.h"
#include "imaging/StretchDraw.h"
#include "imaging/ThumbnailFit.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zavio {

std::optional<TBitmap> renderThumbnailCell(const QString& path, int cellWidth, int cellHeight, TBitmap& picture)
{
    if (!loadPictureInto(path, picture))
        return std::nullopt;
    TBitmap cell(cellWidth, cellHeight);
    cell.fill(192, 192, 192);
    const FitRect rect = ThumbnailFit(picture.width(), picture.height(), cellWidth, cellHeight, 5, 0);
    stretchDraw(cell, rect, picture);
    return cell;
}

struct PageFiller::Outcome {
    enum class Kind { Drawn, NoPicture, Failed } kind = Kind::Failed;
    TBitmap cell;
    QString error;
};

PageFiller::PageFiller()
    : threads_(std::max(1, QThread::idealThreadCount())), renderer_(renderThumbnailCell)
{
}

void PageFiller::setCellSize(int width, int height)
{
    if (width != cellWidth_ || height != cellHeight_)
        lastCell_ = TBitmap();
    cellWidth_ = width;
    cellHeight_ = height;
}

PageFiller::Outcome PageFiller::render(const QString& path, TBitmap& scratch) const
{
    Outcome outcome;
    try {
        if (std::optional<TBitmap> cell = renderer_(path, cellWidth_, cellHeight_, scratch)) {
            outcome.kind = Outcome::Kind::Drawn;
            outcome.cell = std::move(*cell);
        } else {
            outcome.kind = Outcome::Kind::NoPicture;
        }
    } catch (const PictureError& error) {
        outcome.error = error.message();
    } catch (const std::bad_alloc&) {
        outcome.error = QStringLiteral("画像のためのメモリが足りません: %1").arg(path);
    } catch (const std::exception& error) {
        outcome.error = QStringLiteral("%1\n%2").arg(path, QString::fromUtf8(error.what()));
    }
    return outcome;
}

void PageFiller::fill(BrowseCounters& c, const QStringList& items, const QString& folder, PageSink& sink)
{
    sink.clearPage();
    const int wanted = std::min(c.PictureCount - c.ListPosition + 1, kCellsPerPage + 1 - c.CellNumber);
    const int available = int(items.size()) - (c.ListPosition - 1);
    const int count = c.ListPosition < 1 ? 0 : std::max(0, std::min(wanted, available));

    struct Slot {
        QString name;
        QString path;
        std::optional<CellKey> key;
        std::optional<Outcome> outcome;
    };
    std::vector<Slot> pending(size_t(std::max(0, count)));
    std::vector<size_t> misses;
    for (int i = 0; i < count; ++i) {
        Slot& slot = pending[size_t(i)];
        slot.name = items[c.ListPosition - 1 + i];
        slot.path = joinPath(folder, slot.name);
        slot.key = CellKey::of(slot.path, cellWidth_, cellHeight_);
        if (slot.key) {
            if (std::optional<TBitmap> cached = cache_.find(*slot.key))
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
                Outcome outcome = render(slot.path, scratch);
                {
                    std::lock_guard lock(mutex);
                    slot.outcome = std::move(outcome);
                }
                ready.notify_all();
            }
        });
    }

    TBitmap scratch;
    for (int i = 0; i < count; ++i) {
        Slot& slot = pending[size_t(i)];
        Outcome outcome;
        if (workerCount == 0) {
            if (!slot.outcome)
                slot.outcome = render(slot.path, scratch);
            outcome = std::move(*slot.outcome);
        } else {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return slot.outcome.has_value(); });
            outcome = std::move(*slot.outcome);
        }

        switch (outcome.kind) {
        case Outcome::Kind::Failed:
            throw PictureError(outcome.error);
        case Outcome::Kind::NoPicture:
            // The previous picture is shown again, as the loader left it.
            if (lastCell_.isEmpty())
                throw PictureError(QStringLiteral("表示する画像がありません（高さ 0）: %1").arg(slot.path));
            break;
        case Outcome::Kind::Drawn:
            lastCell_ = outcome.cell;
            if (slot.key)
                cache_.store(*slot.key, outcome.cell);
            break;
        }
        sink.drawCell(c.CellNumber, lastCell_);
        sink.setCaption(c.CellNumber, slot.name);
        ++c.CellNumber;
        ++c.ListPosition;
        if (c.PictureCount + 1 <= 20)
            sink.disablePaging();
        if (c.CellNumber > kCellsPerPage) {
            c.CellNumber = 1;
            --c.ListPosition;
            break;
        }
    }
}

} // namespace zavio
