#include "browser/PageFiller.h"
#include "imaging/PictureError.h"
#include "support/PictureFolder.h"

#include <QFile>
#include <atomic>
#include <gtest/gtest.h>
#include <map>

using namespace zavio;

namespace {

// Records what a fill draws, as the main window's cells would show it.
struct RecordingSink : PageSink {
    std::map<int, QImage> cells;
    std::map<int, QString> captions;
    int clears = 0;
    int pagingDisabled = 0;

    void clearPage() override
    {
        ++clears;
        cells.clear();
        captions.clear();
    }
    void drawCell(int cell, const TBitmap& image) override { cells[cell] = image.image().copy(); }
    void setCaption(int cell, const FilePath& name) override { captions[cell] = name.text(); }
    void disablePaging() override { ++pagingDisabled; }
};

std::vector<FilePath> numberedNames(int count)
{
    std::vector<FilePath> names;
    for (int i = 1; i <= count; ++i)
        names.emplace_back(QStringLiteral("pic%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
    return names;
}

// A renderer that needs no files: a 1 x 1 cell coloured by the name's number.
PageFiller fakeFiller(std::atomic<int>* calls = nullptr, QString failOn = {})
{
    PageFiller filler;
    filler.setRenderer([calls, failOn](const FilePath& file, int, int, TBitmap&) -> std::optional<TBitmap> {
        const QString& path = file.text();
        if (calls)
            ++*calls;
        if (!failOn.isEmpty() && path.endsWith(failOn))
            throw PictureError(QStringLiteral("壊れています: ") + path);
        TBitmap cell(1, 1);
        cell.fill(std::uint8_t(path.right(7).left(3).toInt()), 0, 0);
        return cell;
    });
    return filler;
}

BrowseCounters countersFor(int pictures, int start = 1)
{
    BrowseCounters counters;
    counters.PictureCount = pictures;
    counters.ItemCount = pictures;
    counters.ListPosition = start;
    counters.CellNumber = 1;
    return counters;
}

} // namespace

TEST(PageFill, CountersAfterPartialFullAndMiddlePages)
{
    PageFiller filler = fakeFiller();
    RecordingSink sink;

    BrowseCounters seven = countersFor(7);
    filler.fill(seven, numberedNames(7), QStringLiteral("/x"), sink);
    EXPECT_EQ(seven.ListPosition, 8);
    EXPECT_EQ(seven.CellNumber, 8);
    EXPECT_EQ(sink.captions.size(), 7u);
    EXPECT_EQ(sink.captions[7], QStringLiteral("pic007.jpg"));
    EXPECT_EQ(sink.pagingDisabled, 7) << "a folder of under 20 pictures disables paging after each picture";

    BrowseCounters twenty = countersFor(20);
    filler.fill(twenty, numberedNames(20), QStringLiteral("/x"), sink);
    EXPECT_EQ(twenty.ListPosition, 20) << "a full page ends on its last picture";
    EXPECT_EQ(twenty.CellNumber, 1);
    EXPECT_EQ(sink.captions[20], QStringLiteral("pic020.jpg"));

    BrowseCounters middle = countersFor(45, 20);
    sink.pagingDisabled = 0;
    filler.fill(middle, numberedNames(45), QStringLiteral("/x"), sink);
    EXPECT_EQ(middle.ListPosition, 39);
    EXPECT_EQ(middle.CellNumber, 1);
    EXPECT_EQ(sink.captions[1], QStringLiteral("pic020.jpg"));
    EXPECT_EQ(sink.captions[20], QStringLiteral("pic039.jpg"));
    EXPECT_EQ(sink.pagingDisabled, 0);

    BrowseCounters empty = countersFor(0);
    filler.fill(empty, {}, QStringLiteral("/x"), sink);
    EXPECT_TRUE(sink.captions.empty());
    EXPECT_EQ(empty.ListPosition, 1);

    BrowseCounters beyond = countersFor(120, 151);
    filler.fill(beyond, numberedNames(120), QStringLiteral("/x"), sink);
    EXPECT_TRUE(sink.cells.empty()) << "a start past the end draws an empty page";
    EXPECT_EQ(beyond.ListPosition, 151);
}

TEST(PageFill, ABrokenPictureIsMarkedAndTheFillGoesOn)
{
    const TBitmap mark = brokenPictureCell(1, 1);
    for (int threads : {1, 2, 4}) {
        PageFiller filler = fakeFiller(nullptr, QStringLiteral("pic005.jpg"));
        filler.setCellSize(1, 1);
        filler.setThreads(threads);
        RecordingSink sink;
        BrowseCounters counters = countersFor(30);
        const std::vector<PageFailure> failures = filler.fill(counters, numberedNames(30), QStringLiteral("/x"), sink);
        ASSERT_EQ(failures.size(), 1u) << threads;
        EXPECT_EQ(failures[0].cell, 5);
        EXPECT_EQ(failures[0].name.text(), QStringLiteral("pic005.jpg"));
        EXPECT_TRUE(failures[0].message.contains(QStringLiteral("pic005.jpg")));
        // The page is full, the broken cell named and marked, the counters as
        // after any full page.
        EXPECT_EQ(sink.captions.size(), 20u) << threads;
        EXPECT_EQ(sink.captions[5], QStringLiteral("pic005.jpg"));
        EXPECT_EQ(sink.cells[5], mark.image());
        EXPECT_NE(sink.cells[4], mark.image());
        EXPECT_EQ(counters.ListPosition, 20) << threads;
        EXPECT_EQ(counters.CellNumber, 1) << threads;
    }
}

TEST(PageFill, TheBrokenMarkIsNeitherSilverNorAPicture)
{
    const QImage mark = brokenPictureCell(131, 101).image();
    ASSERT_EQ(mark.size(), QSize(131, 101));
    int silver = 0, red = 0;
    for (int y = 0; y < mark.height(); ++y)
        for (int x = 0; x < mark.width(); ++x) {
            const QRgb p = mark.pixel(x, y);
            silver += p == qRgb(192, 192, 192);
            red += qRed(p) > 150 && qGreen(p) < 60 && qBlue(p) < 60;
        }
    EXPECT_EQ(silver, 0);
    EXPECT_GT(red, 300) << "a red frame and a torn picture";
    EXPECT_EQ(mark.pixel(0, 50), mark.pixel(130, 50)) << "framed on both sides";
}

TEST(PageFill, ParallelFillDrawsExactlyWhatTheOneByOneFillDraws)
{
    fixtures::PictureFolder folder;
    std::vector<FilePath> names;
    // Wide, middle, narrow, square and very narrow pictures, JPEG and BMP.
    const int sizes[][2] = {{64, 30}, {40, 30}, {30, 40}, {33, 33}, {5, 100}, {90, 20}, {20, 90}, {64, 48}};
    for (int i = 0; i < 24; ++i) {
        const auto& size = sizes[i % 8];
        const QString name = QStringLiteral("p%1.%2").arg(i, 2, 10, QLatin1Char('0')).arg(i % 3 ? "jpg" : "bmp");
        if (i % 3)
            folder.writeJpeg(name, size[0], size[1], i);
        else
            folder.writeBmp(name, size[0], size[1], i);
        names.emplace_back(name);
    }
    auto run = [&](int threads, int start) {
        PageFiller filler;
        filler.setThreads(threads);
        RecordingSink sink;
        BrowseCounters counters = countersFor(24, start);
        filler.fill(counters, names, folder.path(), sink);
        return std::make_pair(counters, sink);
    };
    for (int start : {1, 6}) {
        const auto [oneCounters, one] = run(1, start);
        const auto [manyCounters, many] = run(4, start);
        EXPECT_EQ(oneCounters, manyCounters);
        EXPECT_EQ(one.captions, many.captions);
        ASSERT_EQ(one.cells.size(), many.cells.size());
        for (const auto& [cell, image] : one.cells) {
            EXPECT_EQ(image, many.cells.at(cell)) << "cell " << cell;
            EXPECT_EQ(image.size(), QSize(131, 101));
        }
    }
}

TEST(PageFill, CacheServesAPageAgainUntilAFileChanges)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(3);
    std::atomic<int> decodes{0};
    PageFiller filler;
    filler.setRenderer([&](const FilePath& path, int w, int h, TBitmap& scratch) {
        ++decodes;
        return renderThumbnailCell(path, w, h, scratch);
    });
    RecordingSink sink;
    const std::vector<FilePath> names = numberedNames(3);

    BrowseCounters counters = countersFor(3);
    filler.fill(counters, names, folder.path(), sink);
    EXPECT_EQ(decodes, 3);
    const QImage before = sink.cells[2];

    counters = countersFor(3);
    filler.fill(counters, names, folder.path(), sink);
    EXPECT_EQ(decodes, 3) << "a page shown before is drawn from the cache";
    EXPECT_EQ(sink.cells[2], before);

    folder.writeJpeg(names[1].text(), 40, 10, 99); // a different picture under the same name
    counters = countersFor(3);
    filler.fill(counters, names, folder.path(), sink);
    EXPECT_EQ(decodes, 4) << "only the changed file is decoded again";
    EXPECT_NE(sink.cells[2], before);

    // A file that vanished is reported, not served from the cache; the rest
    // of the page still comes from it.
    ASSERT_TRUE(QFile::remove(folder.filePath(names[0].text())));
    counters = countersFor(3);
    const std::vector<PageFailure> failures = filler.fill(counters, names, folder.path(), sink);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].cell, 1);
    EXPECT_EQ(decodes, 5);
    EXPECT_EQ(counters.ListPosition, 4);
}

TEST(PageFill, FileOfNoKnownKindShowsThePreviousPictureAgain)
{
    fixtures::PictureFolder folder;
    folder.writeJpeg(QStringLiteral("a.jpg"), 40, 30, 1);
    folder.writeBytes(QStringLiteral("b.txt"), "not a picture");
    PageFiller filler;
    RecordingSink sink;
    BrowseCounters counters = countersFor(2);
    filler.fill(counters, {FilePath("a.jpg"), FilePath("b.txt")}, folder.path(), sink);
    EXPECT_EQ(sink.captions[2], QStringLiteral("b.txt"));
    EXPECT_EQ(sink.cells[2], sink.cells[1]);

    // With nothing loaded before, there is no picture to show: a clear error.
    PageFiller fresh;
    counters = countersFor(1);
    const std::vector<PageFailure> failures = fresh.fill(counters, {FilePath("b.txt")}, folder.path(), sink);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_TRUE(failures[0].message.contains(QStringLiteral("b.txt")));
}
