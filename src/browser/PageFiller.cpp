#include "browser/PageFiller.h"

#include "imaging/UserError.h"
#include "imaging/PictureLoader.h"
#include "imaging/StretchDraw.h"
#include "imaging/ThumbnailFit.h"

#include <QPainter>
#include <QThread>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zavio {

std::optional<TBitmap> renderThumbnailCell(const FilePath& path, int cellWidth, int cellHeight, TBitmap& picture)
{
    if (!loadPictureInto(path, picture))
        return std::nullopt;
    TBitmap cell(cellWidth, cellHeight);
    cell.fill(192, 192, 192);
    const FitRect rect = ThumbnailFit(picture.width(), picture.height(), cellWidth, cellHeight, 5, 0);
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

const TBitmap& PageFiller::brokenCell()
{
    if (brokenCell_.width() != cellWidth_ || brokenCell_.height() != cellHeight_)
        brokenCell_ = brokenPictureCell(cellWidth_, cellHeight_);
    return brokenCell_;
}

PageFiller::Outcome PageFiller::render(const FilePath& path, TBitmap& scratch) const
{
    Outcome outcome;
    try {
        if (std::optional<TBitmap> cell = renderer_(path, cellWidth_, cellHeight_, scratch)) {
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

std::vector<PageFailure> PageFiller::fill(
    BrowseCounters& c, const std::vector<FilePath>& items, const FilePath& folder, PageSink& sink)
{
    sink.clearPage();
    const int wanted = std::min(c.PictureCount - c.ListPosition + 1, kCellsPerPage + 1 - c.CellNumber);
    const int available = int(items.size()) - (c.ListPosition - 1);
    const int count = c.ListPosition < 1 ? 0 : std::max(0, std::min(wanted, available));

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
        slot.name = items[size_t(c.ListPosition - 1 + i)];
        slot.path = folder.child(slot.name);
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

    std::vector<PageFailure> failures;
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

        // The previous picture is shown again for a file of no known kind, as
        // the loader left it; with none before it, the file cannot be shown.
        if (outcome.kind == Outcome::Kind::NoPicture && lastCell_.isEmpty()) {
            outcome.kind = Outcome::Kind::Failed;
            outcome.error = QStringLiteral("表示する画像がありません（高さ 0）: %1").arg(slot.path.text());
        }
        switch (outcome.kind) {
        case Outcome::Kind::Failed:
            failures.push_back({c.CellNumber, slot.name, outcome.error});
            sink.drawCell(c.CellNumber, brokenCell());
            break;
        case Outcome::Kind::NoPicture:
            sink.drawCell(c.CellNumber, lastCell_);
            break;
        case Outcome::Kind::Drawn:
            lastCell_ = outcome.cell;
            if (slot.key)
                cache_.store(*slot.key, outcome.cell);
            sink.drawCell(c.CellNumber, lastCell_);
            break;
        }
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
    return failures;
}

} // namespace zavio
