// Measures saving a turned 4000 x 3000 photo from the result window: as a
// JPEG carrying its source's camera markers, and as a 24-bit BMP, each with
// its encoding, the write of a temporary file, its sync, the rename and the
// folder's sync. Prints one "name value" line per figure on stdout.

#include "BenchPhotos.h"
#include "BenchStats.h"

#include "common/AtomicFile.h"
#include "imaging/PictureError.h"
#include "rotation/PictureSaver.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <vector>

namespace {

using zavio::bench::Clock;
using zavio::bench::msSince;

// Saves picture under name in folder reps times; the milliseconds of each.
std::vector<double> timeSaves(const zavio::TBitmap& picture, const QString& folder, const QString& name,
                              const QString& source, int reps)
{
    const QString target = QDir(folder).filePath(name);
    std::vector<double> samples;
    for (int r = 0; r < reps; ++r) {
        const Clock::time_point start = Clock::now();
        const QString refusal = zavio::saveAs(picture, target, source);
        samples.push_back(msSince(start));
        if (!refusal.isEmpty())
            throw zavio::WriteError(refusal);
    }
    std::fprintf(stderr, "# %s: %lld bytes\n", name.toLocal8Bit().constData(), QFileInfo(target).size());
    QFile::remove(target);
    return samples;
}

int run(const zavio::bench::BenchOptions& options)
{
    const zavio::bench::FirstPhoto photo(options.folder);
    // The photo as the result window holds it after a quarter turn.
    const zavio::TBitmap turned = zavio::bench::makePhoto(0, photo.shape().height, photo.shape().width);
    const std::vector<double> jpegMs =
        timeSaves(turned, photo.folder(), QStringLiteral("saved.jpg"), photo.path(), options.reps);
    const std::vector<double> bmpMs =
        timeSaves(turned, photo.folder(), QStringLiteral("saved.bmp"), photo.path(), options.reps);

    zavio::bench::printSamples("save_jpeg_ms", jpegMs);
    zavio::bench::printSamples("save_bmp_ms", bmpMs);
    zavio::bench::printFigure("save_jpeg_ms", zavio::bench::median(jpegMs));
    zavio::bench::printFigure("save_bmp_ms", zavio::bench::median(bmpMs));
    zavio::bench::printPeakRss();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return zavio::bench::benchMain(argc, argv, "saving", "[folder] [--dir folder] [--reps n]", run);
}
