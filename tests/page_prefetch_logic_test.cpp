// The pages drawn ahead in the background, without a window: which cells the
// work draws, how it stops, and what the cache keeps of it.
#include "browser/PageFiller.h"
#include "browser/ThumbnailCache.h"
#include "imaging/DecodeCancel.h"
#include "imaging/JpegCodec.h"
#include "support/BackgroundWork.h"
#include "support/PictureFolder.h"

#include <QFile>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>

using namespace zavio;
using zavio::fixtures::onUiThread;
using zavio::fixtures::PictureFolder;
using zavio::fixtures::RenderLog;
using zavio::fixtures::sameImage;
using zavio::fixtures::waitFor;
using namespace std::chrono_literals;

TEST(PagePrefetch, DrawsTheNextThenThePreviousPageAndAFillNeverWaitsForIt)
{
    PictureFolder folder;
    folder.writeNumberedJpegs(60, QStringLiteral("pic"), 16, 12);
    std::vector<FilePath> names;
    for (int i = 1; i <= 60; ++i)
        names.emplace_back(QStringLiteral("pic%1.jpg").arg(i, 3, 10, QLatin1Char('0')));

    struct NullSink : PageSink {
        void clearPage() override {}
        void drawCell(int, const TBitmap&) override {}
        void setCaption(int, const FilePath&) override {}
        void disablePaging() override {}
    } sink;

    // The pages around the one from 20: "次へ" starts on its last picture, 39,
    // "前へ" at 39 - 38 = 1. The cells the fill drew are not drawn again.
    RenderLog log;
    PageFiller filler;
    filler.setThreads(1);
    filler.setRenderer(log.renderer());
    BrowseCounters counters;
    counters.PictureCount = counters.ItemCount = 60;
    counters.ListPosition = 20;
    filler.fill(counters, names, folder.path(), sink);
    ASSERT_EQ(counters.ListPosition, 39);
    filler.prefetchAround(counters, names, folder.path());
    ASSERT_TRUE(waitFor([&] { return filler.backgroundIdle(); }));
    QStringList expected;
    for (int i = 40; i <= 58; ++i)
        expected.append(names[size_t(i - 1)].text());
    for (int i = 1; i <= 19; ++i)
        expected.append(names[size_t(i - 1)].text());
    EXPECT_EQ(log.backgroundCalls(), expected);
    EXPECT_EQ(filler.cache().prefetchedCount(), 38);

    // A background decode that does not end until released: the fill goes on
    // without it, and what it finishes afterwards is thrown away.
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false, released = false;
    PageFiller blocked;
    blocked.setThreads(1);
    blocked.setRenderer([&](const FilePath& path, int w, int h, TBitmap& scratch) {
        if (!onUiThread()) {
            std::unique_lock lock(mutex);
            entered = true;
            changed.notify_all();
            changed.wait_for(lock, 10s, [&] { return released; });
        }
        return renderThumbnailCell(path, w, h, scratch);
    });
    counters.ListPosition = 1;
    counters.CellNumber = 1;
    blocked.fill(counters, names, folder.path(), sink);
    blocked.prefetchAround(counters, names, folder.path());
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return entered; }));
    }
    // Another page, which leaves the picture in hand out of the cache.
    counters.ListPosition = 40;
    const auto fillStart = std::chrono::steady_clock::now();
    blocked.fill(counters, names, folder.path(), sink);
    EXPECT_LT(std::chrono::steady_clock::now() - fillStart, 5s) << "the fill did not wait for the background";
    EXPECT_EQ(counters.ListPosition, 59);
    EXPECT_FALSE(blocked.backgroundIdle()) << "the background decode is still in hand";
    {
        const std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    ASSERT_TRUE(waitFor([&] { return blocked.backgroundIdle(); }));
    EXPECT_EQ(blocked.cache().prefetchedCount(), 0) << "a cell of stopped work never reaches the cache";
}

TEST(PagePrefetch, StoppingTheWorkStopsAPictureBeingDecodedWithinAFewRows)
{
    PictureFolder folder;
    folder.writeNumberedJpegs(22, QStringLiteral("pic"), 16, 12);
    std::vector<FilePath> names;
    for (int i = 1; i <= 22; ++i)
        names.emplace_back(QStringLiteral("pic%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
    // The first picture the background decodes after the first page: a large
    // photo of 2000 x 3000, read in batches of 16 rows.
    constexpr int kBigHeight = 3000;
    {
        TBitmap big(2000, kBigHeight);
        for (int y = 0; y < kBigHeight; ++y)
            std::memset(big.scanLine(y), y % 251, size_t(big.bytesPerLine()));
        QFile file(folder.filePath(QStringLiteral("pic021.jpg")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray jpeg = TJPEGImage::encode(big, 90);
        ASSERT_EQ(file.write(jpeg), jpeg.size());
    }

    struct RecordingSink : PageSink {
        std::vector<std::pair<int, QImage>> cells;
        QStringList captions;
        void clearPage() override { cells.clear(), captions.clear(); }
        void drawCell(int cell, const TBitmap& image) override { cells.emplace_back(cell, image.image().copy()); }
        void setCaption(int cell, const FilePath& name) override
        {
            captions.append(QStringLiteral("%1 %2").arg(cell).arg(name.text()));
        }
        void disablePaging() override {}
    };

    // The background decode counts how often it asks whether to stop; at the
    // third time it holds there until the test has stopped the work, so the
    // stop comes while the picture is half-decoded.
    struct Watch {
        std::mutex mutex;
        std::condition_variable changed;
        bool inFlight = false, stopped = false, cancelled = false;
        std::atomic<int> checks{0};
        QStringList uiRenders;
        static bool check(const void* context) noexcept
        {
            auto* self = const_cast<Watch*>(static_cast<const Watch*>(context));
            if (++self->checks == 3) {
                std::unique_lock lock(self->mutex);
                self->inFlight = true;
                self->changed.notify_all();
                self->changed.wait_for(lock, 10s, [&] { return self->stopped; });
            }
            return false;
        }
    } watch;
    auto renderer = [&](const FilePath& path, int w, int h, TBitmap& scratch) {
        if (onUiThread()) {
            watch.uiRenders.append(path.fileName().text());
            return renderThumbnailCell(path, w, h, scratch);
        }
        const DecodeCancelScope counting(&Watch::check, &watch);
        try {
            return renderThumbnailCell(path, w, h, scratch);
        } catch (const DecodeCancelled&) {
            const std::lock_guard lock(watch.mutex);
            watch.cancelled = true;
            throw;
        }
    };

    PageFiller filler;
    filler.setThreads(1);
    filler.setRenderer(renderer);
    RecordingSink sink;
    BrowseCounters counters;
    counters.PictureCount = counters.ItemCount = 22;
    counters.ListPosition = 1;
    filler.fill(counters, names, folder.path(), sink);
    ASSERT_EQ(counters.ListPosition, 20);
    filler.prefetchAround(counters, names, folder.path());
    {
        std::unique_lock lock(watch.mutex);
        ASSERT_TRUE(watch.changed.wait_for(lock, 10s, [&] { return watch.inFlight; }));
    }
    filler.stopBackgroundWork();
    {
        const std::lock_guard lock(watch.mutex);
        watch.stopped = true;
    }
    watch.changed.notify_all();
    ASSERT_TRUE(waitFor([&] { return filler.backgroundIdle(); }));
    {
        const std::lock_guard lock(watch.mutex);
        EXPECT_TRUE(watch.cancelled) << "the decode ran to its end";
    }
    // Stopped at the first question after the stop, a few rows in, not
    // after all of its rows.
    EXPECT_EQ(watch.checks.load(), 3);
    EXPECT_EQ(filler.cache().prefetchedCount(), 0);
    const std::optional<CellKey> bigKey =
        CellKey::of(FilePath(folder.filePath(QStringLiteral("pic021.jpg"))), 131, 101);
    ASSERT_TRUE(bigKey);
    EXPECT_FALSE(filler.cache().contains(*bigKey));

    // The next page is drawn and reported exactly as without background
    // work, the fill decoding the stopped picture itself.
    watch.uiRenders.clear();
    BrowseCounters withCounters = counters;
    const std::vector<PageFailure> withFailures = filler.fill(withCounters, names, folder.path(), sink);
    EXPECT_EQ(watch.uiRenders, QStringList({"pic021.jpg", "pic022.jpg"}));

    PageFiller plain;
    plain.setThreads(1);
    plain.setBackgroundWork(false);
    RecordingSink plainSink;
    BrowseCounters plainCounters;
    plainCounters.PictureCount = plainCounters.ItemCount = 22;
    plainCounters.ListPosition = 1;
    plain.fill(plainCounters, names, folder.path(), plainSink);
    ASSERT_EQ(plainCounters, counters);
    const std::vector<PageFailure> plainFailures = plain.fill(plainCounters, names, folder.path(), plainSink);
    EXPECT_TRUE(withFailures.empty());
    EXPECT_TRUE(plainFailures.empty());
    EXPECT_EQ(sink.captions, plainSink.captions);
    ASSERT_EQ(sink.cells.size(), plainSink.cells.size());
    for (size_t i = 0; i < sink.cells.size(); ++i) {
        EXPECT_EQ(sink.cells[i].first, plainSink.cells[i].first);
        EXPECT_TRUE(sameImage(sink.cells[i].second, plainSink.cells[i].second)) << "cell " << i;
    }
    EXPECT_EQ(withCounters, plainCounters);
}

TEST(PagePrefetch, TheCacheHoldsAtMostTwoPagesDrawnAhead)
{
    auto key = [](int i) {
        CellKey k;
        k.path = QByteArray("/f/") + QByteArray::number(i);
        k.cellWidth = 1;
        k.cellHeight = 1;
        return k;
    };
    TBitmap cell(1, 1);
    ThumbnailCache cache(100, 40);
    for (int i = 0; i < 10; ++i)
        cache.store(key(i), cell);
    for (int i = 100; i < 150; ++i)
        cache.storePrefetched(key(i), cell);
    EXPECT_EQ(cache.prefetchedCount(), 40);
    EXPECT_EQ(cache.size(), 50);
    EXPECT_FALSE(cache.contains(key(100))) << "the oldest drawn ahead went first";
    EXPECT_TRUE(cache.contains(key(149)));
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(cache.contains(key(i))) << "shown cells stay";

    // A cell found by a fill counts as shown, and drawing ahead leaves a
    // cell already held as it is.
    ASSERT_TRUE(cache.find(key(120)));
    EXPECT_EQ(cache.prefetchedCount(), 39);
    for (int i = 200; i < 260; ++i)
        cache.storePrefetched(key(i), cell);
    EXPECT_TRUE(cache.contains(key(120)));
    EXPECT_FALSE(cache.contains(key(149)));
    cache.storePrefetched(key(3), cell);
    EXPECT_EQ(cache.prefetchedCount(), 40);
    EXPECT_TRUE(cache.find(key(3)));
    EXPECT_EQ(cache.prefetchedCount(), 40) << "key 3 was shown before and stays so";

    // The whole bound counts the drawn-ahead cells too; the shown page and
    // the two around it fit in a bound of three pages.
    ThumbnailCache small(60, 40);
    for (int i = 0; i < kCellsPerPage; ++i)
        small.store(key(1000 + i), cell);
    for (int i = 0; i < 80; ++i)
        small.storePrefetched(key(i), cell);
    EXPECT_EQ(small.size(), 60);
    EXPECT_EQ(small.prefetchedCount(), 40);
    for (int i = 0; i < kCellsPerPage; ++i)
        EXPECT_TRUE(small.contains(key(1000 + i))) << "the shown page stays";
}
