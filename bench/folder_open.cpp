// Measures what opening a big folder costs besides its first page: listing,
// the count and the file list's extent, on folders of 20,000 and 100,000 tiny
// pictures (hard links to one small JPEG). Also times F5, a selection change
// in the file list, and "次へ" on the first and on the last pages.
// Prints one "name value" line per figure on stdout; progress goes to stderr.

#include "BenchStats.h"

#include "browser/FileListBox.h"
#include "browser/TForm1.h"
#include "common/Selection.h"
#include "imaging/JpegCodec.h"
#include "imaging/TBitmap.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using zavio::bench::Clock;
using zavio::bench::msSince;
using zavio::bench::printFigure;
using zavio::bench::printSamples;

// The name of picture i: mostly camera names, every seventh a longer one and
// every eleventh in capitals, so the sorted list mixes them.
QString pictureName(int i)
{
    if (i % 7 == 0)
        return QStringLiteral("holiday_trip_%1.jpeg").arg(i, 6, 10, QLatin1Char('0'));
    if (i % 11 == 0)
        return QStringLiteral("DSC%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
    return QStringLiteral("IMG_%1.jpg").arg(i, 6, 10, QLatin1Char('0'));
}

constexpr int kLinksPerFile = 30000;

// A folder of count hard links to a few 8 x 8 JPEGs, made once.
QString ensureFolder(const QString& base, int count)
{
    const QString folder = QDir(base).filePath(QStringLiteral("pictures_%1").arg(count));
    // A marker tells a finished folder without listing it, which would count
    // in the peak resident set.
    const QString done = QDir(base).filePath(QStringLiteral("pictures_%1.done").arg(count));
    if (QFile::exists(done) && QDir(folder).exists())
        return folder;
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot make " + folder.toStdString());
    zavio::TBitmap tiny(8, 8);
    tiny.fill(40, 120, 200);
    const QByteArray jpeg = zavio::TJPEGImage::encode(tiny);
    QByteArray from;
    for (int i = 0; i < count; ++i) {
        // A file system allows some tens of thousands of links to one file.
        if (i % kLinksPerFile == 0) {
            const QString source = QDir(base).filePath(QStringLiteral("tiny_%1.jpg").arg(i / kLinksPerFile));
            QFile out(source);
            if (!out.open(QIODevice::WriteOnly) || out.write(jpeg) != jpeg.size())
                throw std::runtime_error("cannot write " + source.toStdString());
            from = QFile::encodeName(source);
        }
        const QByteArray to = QFile::encodeName(QDir(folder).filePath(pictureName(i)));
        if (::link(from.constData(), to.constData()) != 0)
            throw std::runtime_error("cannot link " + to.toStdString());
    }
    QFile marker(done);
    if (!marker.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + done.toStdString());
    return folder;
}

// The fill of the page at position into the first cell, alone.
double fillMs(zavio::TForm1& form, int position)
{
    form.counters().ListPosition = position;
    form.counters().CellNumber = 1;
    const Clock::time_point start = Clock::now();
    form.FillPage();
    return msSince(start);
}

// "次へ" from a full page that ends at position, warm: the same click once untimed first.
double nextPageMs(zavio::TForm1& form, int position, int reps)
{
    QPushButton* next = &zavio::bench::control<QPushButton>(form, "BitBtn2");
    std::vector<double> samples;
    for (int r = 0; r <= reps; ++r) {
        form.counters().ListPosition = position;
        form.counters().CellNumber = 1;
        const Clock::time_point start = Clock::now();
        next->click();
        const double ms = msSince(start);
        if (r > 0)
            samples.push_back(ms);
        QApplication::processEvents();
    }
    return zavio::bench::median(samples);
}

int run(const zavio::bench::BenchOptions& options, int argc, char** argv)
{
    QTemporaryDir scratch;
    const QString base = options.folder.isEmpty() ? scratch.path() : options.folder;
    const QString small = ensureFolder(base, 20000);
    const QString big = ensureFolder(base, 100000);
    const QString empty = QDir(base).filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    std::fprintf(stderr, "# folders ready in %s\n", base.toLocal8Bit().constData());

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zavio::Selection selection;
    zavio::TForm1 form(selection);
    form.show();
    form.openFolder(empty);
    QApplication::processEvents();
    if (const auto rss = zavio::bench::peakRssMb())
        printFigure("empty_rss_mb", *rss);

    // Opening a folder: the whole call less a fill of the same first page.
    auto openMs = [&](const QString& folder, int count, const char* figure) {
        std::vector<double> samples;
        for (int r = 0; r < options.reps; ++r) {
            form.openFolder(empty);
            QApplication::processEvents();
            const Clock::time_point start = Clock::now();
            form.openFolder(folder);
            const double whole = msSince(start);
            if (form.counters().PictureCount != count)
                std::fprintf(stderr, "# warning: %d pictures counted, %d made\n", form.counters().PictureCount, count);
            samples.push_back(whole - fillMs(form, 1));
            QApplication::processEvents();
        }
        printSamples(figure, samples);
        printFigure(figure, zavio::bench::median(samples));
    };
    openMs(small, 20000, "folder_open_ms_20000");
    openMs(big, 100000, "folder_open_ms_100000");

    // F5 and a new selection in the file list, each less its first page.
    std::vector<double> reread;
    std::vector<double> select;
    auto* files = &zavio::bench::control<zavio::FileListBox>(form, "FileListBox1");
    for (int r = 0; r < options.reps; ++r) {
        Clock::time_point start = Clock::now();
        form.rereadFolder();
        reread.push_back(msSince(start) - fillMs(form, 1));
        QApplication::processEvents();
        start = Clock::now();
        files->selectRow(1000 + r);
        select.push_back(msSince(start) - fillMs(form, 1));
        QApplication::processEvents();
    }
    printSamples("reread_ms_100000", reread);
    printFigure("reread_ms_100000", zavio::bench::median(reread));
    printSamples("selection_change_ms_100000", select);
    printFigure("selection_change_ms_100000", zavio::bench::median(select));

    const int pictures = form.counters().PictureCount;
    printFigure("page_1_ms", nextPageMs(form, 20, options.reps), 2);
    printFigure("page_at_end_ms", nextPageMs(form, pictures - 30, options.reps), 2);
    zavio::bench::printPeakRss();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return zavio::bench::benchMain(argc, argv, "folder_open", "[folder] [--dir folder] [--reps n]",
                                   [&](const zavio::bench::BenchOptions& options) { return run(options, argc, argv); });
}
