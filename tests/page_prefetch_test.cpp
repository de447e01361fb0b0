#include "browser/PageFiller.h"
#include "browser/TForm1.h"
#include "browser/ThumbnailCache.h"
#include "common/Selection.h"
#include "imaging/DecodeCancel.h"
#include "imaging/JpegCodec.h"
#include "support/CapturedErrors.h"
#include "support/Controls.h"
#include "support/PictureFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <utility>

#include <fcntl.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::CapturedErrors;
using zavio::fixtures::PictureFolder;
using namespace std::chrono_literals;

namespace {

bool onUiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// The renderer's calls, by the thread they come from: the windows here fill
// on one thread, so every call off the user-interface thread is background work.
struct RenderLog {
    std::mutex mutex;
    QStringList ui;
    QStringList background;
    std::chrono::milliseconds backgroundDelay{0};

    PageFiller::Renderer renderer()
    {
        return [this](const FilePath& path, int w, int h, TBitmap& scratch) {
            const QString name = path.fileName().text();
            {
                const std::lock_guard lock(mutex);
                (onUiThread() ? ui : background).append(name);
            }
            if (!onUiThread())
                std::this_thread::sleep_for(backgroundDelay);
            return renderThumbnailCell(path, w, h, scratch);
        };
    }
    QStringList takeUi()
    {
        const std::lock_guard lock(mutex);
        return std::exchange(ui, {});
    }
    QStringList backgroundCalls()
    {
        const std::lock_guard lock(mutex);
        return background;
    }
};

// Handles events until the condition holds, for at most ten seconds.
template <typename Condition> bool waitFor(Condition condition)
{
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QApplication::processEvents();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

struct ButtonState {
    bool previousEnabled, nextEnabled, back50Visible, back50Enabled, forward50Visible, forward50Enabled;
    bool operator==(const ButtonState&) const = default;
};

// Everything a paging click leaves on the screen and in the counters.
struct Shown {
    QStringList captions;
    std::vector<QImage> cells;
    BrowseCounters counters;
    ButtonState buttons{};
    QStringList errors;
    bool operator==(const Shown&) const = default;
};

Shown shownBy(const TForm1& form, const CapturedErrors& errors)
{
    Shown shown;
    for (int n = 1; n <= kCellsPerPage; ++n) {
        shown.captions.append(form.cellCaption(n));
        shown.cells.push_back(form.cellImage(n).convertToFormat(QImage::Format_RGB32));
    }
    shown.counters = form.counters();
    const auto button = [&form](const char* name) { return control<QPushButton>(form, name); };
    shown.buttons = {button("BitBtn1")->isEnabled(), button("BitBtn2")->isEnabled(), !button("BitBtn5")->isHidden(),
        button("BitBtn5")->isEnabled(), !button("BitBtn3")->isHidden(), button("BitBtn3")->isEnabled()};
    shown.errors = errors.messages;
    return shown;
}

// Pictures of every band of the fit, JPEG and BMP, in a folder of count.
void writeVariedPictures(PictureFolder& folder, int count, const QString& prefix)
{
    const int sizes[][2] = {{64, 30}, {40, 30}, {30, 40}, {33, 33}, {5, 100}, {90, 20}, {48, 36}};
    for (int i = 1; i <= count; ++i) {
        const auto& size = sizes[i % 7];
        const QString name = QStringLiteral("%1%2.%3").arg(prefix).arg(i, 3, 10, QLatin1Char('0')).arg(
            i % 5 ? "jpg" : "bmp");
        if (i % 5)
            folder.writeJpeg(name, size[0], size[1], i);
        else
            folder.writeBmp(name, size[0], size[1], i);
    }
}

bool sameImage(const QImage& a, const QImage& b)
{
    return a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

TBitmap renderedNow(const PictureFolder& folder, const QString& name)
{
    TBitmap scratch;
    return *renderThumbnailCell(FilePath(folder.filePath(name)), 131, 101, scratch);
}

} // namespace

TEST(PagePrefetch, PagingWithBackgroundWorkShowsExactlyWhatPagingWithoutItShows)
{
    PictureFolder folder;
    writeVariedPictures(folder, 130, QStringLiteral("p"));
    // A broken picture on the second page: the background meets it first, the
    // fill must still tell it once when its page is shown.
    folder.writeBytes(QStringLiteral("p030.jpg"), QByteArray("\xff\xd8\xff\xe0 broken"));
    const QString start = QDir::currentPath();

    enum Button { Previous, Next, Back50, Forward50 };
    const Button clicks[] = {Next, Next, Previous, Next, Next, Forward50, Next, Back50, Previous, Previous,
        Previous, Next, Forward50, Forward50, Next, Previous, Back50, Next};

    auto page = [&](bool background, RenderLog& log, std::vector<QStringList>* uiRenders) {
        CapturedErrors errors;
        Selection selection;
        TForm1 form(selection);
        form.setDecodeThreads(1);
        form.setBackgroundDecoding(background);
        form.setThumbnailRenderer(log.renderer());
        form.openFolder(folder.path());
        std::vector<Shown> steps{shownBy(form, errors)};
        QPushButton* buttons[] = {control<QPushButton>(form, "BitBtn1"), control<QPushButton>(form, "BitBtn2"),
            control<QPushButton>(form, "BitBtn5"), control<QPushButton>(form, "BitBtn3")};
        for (Button button : clicks) {
            if (background) {
                EXPECT_TRUE(waitFor([&] { return form.backgroundDecodingIdle(); }));
            }
            log.takeUi();
            buttons[button]->click();
            if (uiRenders)
                uiRenders->push_back(log.takeUi());
            steps.push_back(shownBy(form, errors));
        }
        QDir::setCurrent(start);
        return steps;
    };

    RenderLog withoutLog;
    const std::vector<Shown> without = page(false, withoutLog, nullptr);
    EXPECT_TRUE(withoutLog.backgroundCalls().isEmpty()) << "switched off, nothing is drawn ahead";
    RenderLog withLog;
    std::vector<QStringList> uiRenders;
    const std::vector<Shown> with = page(true, withLog, &uiRenders);

    ASSERT_EQ(with.size(), without.size());
    for (size_t i = 0; i < with.size(); ++i) {
        EXPECT_EQ(with[i].captions, without[i].captions) << "step " << i;
        EXPECT_EQ(with[i].counters, without[i].counters) << "step " << i;
        EXPECT_TRUE(with[i].buttons == without[i].buttons) << "step " << i;
        EXPECT_EQ(with[i].errors, without[i].errors) << "step " << i;
        for (int n = 0; n < kCellsPerPage; ++n)
            EXPECT_TRUE(with[i].cells[size_t(n)] == without[i].cells[size_t(n)]) << "step " << i << " cell " << n + 1;
    }
    ASSERT_FALSE(without.back().errors.isEmpty());
    EXPECT_EQ(without.back().errors.size(), 1) << "the broken picture is told once";

    // After a look at the first page, "次へ" decodes only the picture that
    // failed in the background; every other cell was drawn ahead. The same
    // holds for the page after, and for "前へ" back to the second page.
    EXPECT_EQ(uiRenders[0], QStringList{QStringLiteral("p030.jpg")});
    EXPECT_EQ(uiRenders[1], QStringList{}) << "the third page was drawn ahead";
    EXPECT_EQ(uiRenders[2], QStringList{QStringLiteral("p030.jpg")});
    EXPECT_TRUE(withLog.backgroundCalls().contains(QStringLiteral("p030.jpg")));
}

TEST(PagePrefetch, AFolderChangeStopsTheWorkOfTheOldFolder)
{
    PictureFolder oldFolder;
    oldFolder.writeNumberedJpegs(60, QStringLiteral("old"), 40, 30);
    oldFolder.writeBytes(QStringLiteral("old025.jpg"), QByteArray("not a jpeg"));
    PictureFolder newFolder;
    newFolder.writeNumberedJpegs(30, QStringLiteral("new"), 30, 40);
    const QString start = QDir::currentPath();

    CapturedErrors errors;
    RenderLog log;
    log.backgroundDelay = 30ms;
    Selection selection;
    TForm1 form(selection);
    form.setDecodeThreads(1);
    form.setThumbnailRenderer(log.renderer());
    form.openFolder(oldFolder.path());
    ASSERT_TRUE(waitFor([&] { return log.backgroundCalls().size() >= 2; })) << "the next page is drawn ahead";
    const qsizetype before = log.backgroundCalls().size();
    form.openFolder(newFolder.path());
    ASSERT_TRUE(waitFor([&] { return form.backgroundDecodingIdle(); }));

    // At most the picture in hand when the folder changed was still decoded.
    int oldAfter = 0;
    for (const QString& name : log.backgroundCalls().mid(before))
        oldAfter += name.startsWith(QStringLiteral("old"));
    EXPECT_LE(oldAfter, 1);

    auto expectNewFolderOnly = [&](int first) {
        for (int n = 1; n <= kCellsPerPage; ++n) {
            const QString name = QStringLiteral("new%1.jpg").arg(first + n - 1, 3, 10, QLatin1Char('0'));
            ASSERT_EQ(form.cellCaption(n), first + n - 1 <= 30 ? name : QString()) << n;
            if (first + n - 1 <= 30) {
                EXPECT_TRUE(sameImage(form.cellImage(n), renderedNow(newFolder, name).image())) << n;
            }
        }
    };
    expectNewFolderOnly(1);
    control<QPushButton>(form, "BitBtn2")->click();
    expectNewFolderOnly(20);
    for (const QString& message : errors.messages)
        EXPECT_FALSE(message.contains(QStringLiteral("old"))) << message.toStdString();
    EXPECT_TRUE(errors.messages.isEmpty());
    QDir::setCurrent(start);
}

TEST(PagePrefetch, APictureChangedAfterItWasDrawnAheadShowsItsNewContent)
{
    PictureFolder folder;
    folder.writeNumberedJpegs(25, QStringLiteral("pic"), 40, 30);
    ASSERT_TRUE(QFile::remove(folder.filePath(QStringLiteral("pic022.jpg"))));
    folder.writeBmp(QStringLiteral("pic022.bmp"), 60, 40, 1);
    const QString start = QDir::currentPath();

    CapturedErrors errors;
    RenderLog log;
    Selection selection;
    TForm1 form(selection);
    form.setDecodeThreads(1);
    form.setThumbnailRenderer(log.renderer());
    form.openFolder(folder.path());
    ASSERT_TRUE(waitFor([&] { return form.backgroundDecodingIdle(); }));
    ASSERT_TRUE(log.backgroundCalls().contains(QStringLiteral("pic022.bmp")));
    const QImage old = renderedNow(folder, QStringLiteral("pic022.bmp")).image();

    // Written over in place to the same size, its modification time put back:
    // only the change time tells the new content from the old.
    const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("pic022.bmp")));
    struct stat was {};
    ASSERT_EQ(::stat(path.constData(), &was), 0);
    std::this_thread::sleep_for(10ms);
    folder.writeBmp(QStringLiteral("pic022.bmp"), 60, 40, 3);
    const timespec times[2] = {was.st_atim, was.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    struct stat now {};
    ASSERT_EQ(::stat(path.constData(), &now), 0);
    ASSERT_EQ(now.st_size, was.st_size);
    ASSERT_EQ(now.st_ino, was.st_ino);
    ASSERT_EQ(now.st_mtim.tv_nsec, was.st_mtim.tv_nsec);

    log.takeUi();
    control<QPushButton>(form, "BitBtn2")->click();
    EXPECT_EQ(log.takeUi(), QStringList{QStringLiteral("pic022.bmp")}) << "the rest was drawn ahead";
    ASSERT_EQ(form.cellCaption(3), QStringLiteral("pic022.bmp"));
    const QImage fresh = renderedNow(folder, QStringLiteral("pic022.bmp")).image();
    EXPECT_FALSE(sameImage(fresh, old));
    EXPECT_TRUE(sameImage(form.cellImage(3), fresh));
    EXPECT_TRUE(errors.messages.isEmpty());
    QDir::setCurrent(start);
}

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
