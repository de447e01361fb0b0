// Measures the main window's page fill on a folder of forty large photo-like
// JPEGs, against the time the same pictures take to decode on all cores, with
// and without the pages around the shown one drawn ahead in the background,
// and "次へ" after the user has looked at a page for a while.
// Prints one "name value" line per figure on stdout; progress goes to stderr.

#include "BenchPhotos.h"
#include "BenchStats.h"

#include "browser/TForm1.h"
#include "common/Selection.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLoader.h"

#include <QApplication>
#include <QPushButton>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using zavio::bench::Clock;
using zavio::bench::msSince;
using zavio::bench::printFigure;
using zavio::bench::printSamples;
using zavio::bench::PhotoSetShape;

constexpr int kGeneratorThreads = 2;

void printError(const QString& message)
{
    std::fprintf(stderr, "page_fill: %s\n", message.toLocal8Bit().constData());
}

// Writes the missing photos in a child process forked before any thread or the
// application exists, so the generator's bitmaps never count in this
// process's peak resident set: peak_rss_mb is the viewer's alone.
bool generateInChild(const QString& folder, const PhotoSetShape& shape)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("page_fill: fork");
        return false;
    }
    if (pid == 0) {
        int code = 0;
        try {
            const int written = zavio::bench::ensurePhotoSet(folder, shape, kGeneratorThreads);
            std::fprintf(stderr, "# %d of %d photos written\n", written, shape.count);
        } catch (const zavio::PictureError& e) {
            printError(e.message());
            code = 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "page_fill: %s\n", e.what());
            code = 1;
        }
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror("page_fill: waitpid");
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Reads and decodes the files on threads workers pulling indices from a shared
// counter, each bitmap dropped at once, as the page fill's workers would.
double decodeAllOnce(const QStringList& paths, int threads)
{
    std::atomic<qsizetype> next{0};
    std::atomic<qint64> pixels{0};
    std::mutex errorMutex;
    std::exception_ptr error;
    const Clock::time_point start = Clock::now();
    {
        std::vector<std::jthread> pool;
        for (int t = 0; t < threads; ++t) {
            pool.emplace_back([&] {
                for (qsizetype i = next++; i < paths.size(); i = next++) {
                    try {
                        const QByteArray data = zavio::readPictureFile(paths[i]);
                        const zavio::TBitmap bitmap = zavio::TJPEGImage::decode(data);
                        pixels += qint64(bitmap.width()) * bitmap.height();
                    } catch (...) {
                        const std::lock_guard lock(errorMutex);
                        if (!error)
                            error = std::current_exception();
                    }
                }
            });
        }
    }
    const double ms = msSince(start);
    if (error)
        std::rethrow_exception(error);
    if (pixels == 0)
        throw zavio::PictureError(QStringLiteral("デコード結果が空です"));
    return ms;
}

struct PageSnapshot {
    std::vector<QImage> images;
    QStringList captions;
};

PageSnapshot snapshot(const zavio::TForm1& form)
{
    PageSnapshot page;
    for (int n = 1; n <= zavio::kCellsPerPage; ++n) {
        page.images.push_back(form.cellImage(n));
        page.captions.push_back(form.cellCaption(n));
    }
    return page;
}

int countDrawnCells(const PageSnapshot& page)
{
    return int(
        std::count_if(page.images.begin(), page.images.end(), [](const QImage& image) { return !image.isNull(); }));
}

int run(const zavio::bench::BenchOptions& options, int argc, char** argv)
{
    const PhotoSetShape shape;
    std::optional<QTemporaryDir> tempDir;
    QString folder = options.folder;
    if (folder.isEmpty()) {
        tempDir.emplace();
        if (!tempDir->isValid()) {
            printError(QStringLiteral("一時フォルダを作れません: %1").arg(tempDir->errorString()));
            return 1;
        }
        folder = tempDir->path();
    }
    folder = QDir(folder).absolutePath();

    const Clock::time_point generationStart = Clock::now();
    if (!generateInChild(folder, shape))
        return 1;
    std::fprintf(stderr, "# photos ready in %s (%.1f s)\n", folder.toLocal8Bit().constData(),
                 msSince(generationStart) / 1000);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zavio::configureImageReaders();

    printFigure("file_mb_avg", zavio::bench::averageFileMb(folder, shape), 2);

    // The pictures of the first page, in list order.
    QStringList firstPage;
    for (int i = 0; i < zavio::kCellsPerPage; ++i)
        firstPage.push_back(QDir(folder).filePath(zavio::bench::photoFileName(i)));

    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    std::fprintf(stderr, "# decoding on %d threads\n", cores);
    std::vector<double> decodeMs;
    for (int r = 0; r < options.reps; ++r)
        decodeMs.push_back(decodeAllOnce(firstPage, cores));
    printSamples("decode_bound_ms", decodeMs);
    const double decodeBound = zavio::bench::median(decodeMs);
    printFigure("decode_bound_ms", decodeBound);

    zavio::Selection selection;
    zavio::TForm1 form(selection);
    if (options.fillThreads > 0)
        form.setDecodeThreads(options.fillThreads);
    form.show();
    QApplication::processEvents();
    const Clock::time_point openStart = Clock::now();
    form.openFolder(folder);
    std::fprintf(stderr, "# openFolder with its first page: %.1f ms\n", msSince(openStart));
    QApplication::processEvents();
    if (form.counters().PictureCount != shape.count)
        std::fprintf(stderr, "# warning: the window counts %d pictures, the folder was made with %d\n",
                     form.counters().PictureCount, shape.count);

    // One timed fill from position into the first cell; the paint events it
    // queued are handled after the clock stops.
    auto timedFill = [&form](int position, bool cold) {
        if (cold)
            form.clearThumbnailCache();
        form.counters().ListPosition = position;
        form.counters().CellNumber = 1;
        const Clock::time_point start = Clock::now();
        form.FillPage();
        const double ms = msSince(start);
        QApplication::processEvents();
        return ms;
    };

    // The cold fill once more without background work, for comparison.
    std::vector<double> coldOffMs;
    form.setBackgroundDecoding(false);
    for (int r = 0; r < options.reps; ++r)
        coldOffMs.push_back(timedFill(1, true));
    form.setBackgroundDecoding(true);

    std::vector<double> coldMs, warmMs, nextMs;
    for (int r = 0; r < options.reps; ++r)
        coldMs.push_back(timedFill(1, true));
    const PageSnapshot coldPage = snapshot(form);
    for (int r = 0; r < options.reps; ++r)
        warmMs.push_back(timedFill(1, false));
    const PageSnapshot warmPage = snapshot(form);
    for (int r = 0; r < options.reps; ++r)
        nextMs.push_back(timedFill(20, true));
    const PageSnapshot nextPage = snapshot(form);

    // A quick look that the timed fills drew what they should have.
    std::fprintf(stderr, "# first page: %d cells drawn, \"%s\" .. \"%s\"\n", countDrawnCells(coldPage),
                 coldPage.captions.front().toLocal8Bit().constData(),
                 coldPage.captions.back().toLocal8Bit().constData());
    if (warmPage.images != coldPage.images || warmPage.captions != coldPage.captions)
        std::fprintf(stderr, "# warning: the warm fill drew a different page than the cold one\n");
    std::fprintf(stderr, "# page from position 20: %d cells drawn, \"%s\" .. \"%s\"\n", countDrawnCells(nextPage),
                 nextPage.captions.front().toLocal8Bit().constData(),
                 nextPage.captions.back().toLocal8Bit().constData());

    // A cold fill of the first page, a look at it of 1.5 cold fills with the
    // events handled, then a click on "次へ".
    const double dwellMs = 1.5 * zavio::bench::median(coldMs);
    auto nextAfterDwell = [&](bool background) {
        form.setBackgroundDecoding(background);
        timedFill(1, true);
        const Clock::time_point dwellStart = Clock::now();
        while (msSince(dwellStart) < dwellMs) {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        QPushButton* next = &zavio::bench::control<QPushButton>(form, "BitBtn2");
        const Clock::time_point start = Clock::now();
        next->click();
        const double ms = msSince(start);
        QApplication::processEvents();
        const PageSnapshot page = snapshot(form);
        if (page.images != nextPage.images || page.captions != nextPage.captions)
            std::fprintf(stderr,
                         "# warning: \"次へ\" after the look drew a different page than the cold fill from 20\n");
        return ms;
    };
    std::vector<double> dwellOffMs, dwellOnMs;
    for (int r = 0; r < options.reps; ++r) {
        dwellOffMs.push_back(nextAfterDwell(false));
        dwellOnMs.push_back(nextAfterDwell(true));
    }
    form.setBackgroundDecoding(true);
    std::fprintf(stderr, "# look at the page before \"次へ\": %.1f ms\n", dwellMs);

    printSamples("fill_cold_background_off_ms", coldOffMs);
    printSamples("next_page_after_dwell_ms", dwellOnMs);
    printSamples("next_page_after_dwell_background_off_ms", dwellOffMs);
    printSamples("fill_cold_ms", coldMs);
    printSamples("fill_warm_ms", warmMs);
    printSamples("next_page_ms", nextMs);
    const double fillCold = zavio::bench::median(coldMs);
    printFigure("fill_cold_ms", fillCold);
    printFigure("fill_warm_ms", zavio::bench::median(warmMs));
    printFigure("next_page_ms", zavio::bench::median(nextMs));
    const double fillColdOff = zavio::bench::median(coldOffMs);
    printFigure("fill_cold_background_off_ms", fillColdOff);
    printFigure("next_page_after_dwell_ms", zavio::bench::median(dwellOnMs));
    printFigure("next_page_after_dwell_background_off_ms", zavio::bench::median(dwellOffMs));
    printFigure("fill_cold_ratio_background_off", decodeBound > 0 ? fillColdOff / decodeBound : 0, 3);
    zavio::bench::printPeakRss();
    printFigure("fill_cold_ratio", decodeBound > 0 ? fillCold / decodeBound : 0, 3);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return zavio::bench::benchMain(argc, argv, "page_fill", "[folder] [--dir folder] [--reps n] [--fill-threads n]",
                                   [&](const zavio::bench::BenchOptions& options) { return run(options, argc, argv); });
}
