// Measures the quarter turn of a 4000 x 3000 photo-like JPEG: the fast
// rotation against the plain per-pixel rule it must equal, which runs once and
// whose result is compared with the fast one pixel for pixel. Prints one
// "name value" line per figure on stdout.

#include "BenchPhotos.h"
#include "BenchStats.h"

#include "imaging/PictureLoader.h"
#include "rotation/Rotation.h"
#include "rotation/TPixelImage.h"
#include "fixtures/RotationLiteral.h"

#include <cstdio>
#include <vector>

namespace {

using zavio::bench::Clock;
using zavio::bench::msSince;
using zavio::bench::printFigure;
using zavio::bench::printSamples;

// The turn to the right, as the rotation window's first command asks for it.
constexpr float kQuarterTurn = 270.0f;
// An angle off the axes, which takes the full blend for every pixel.
constexpr float kOtherAngle = 30.0f;

zavio::TBitmap whiteTarget(const zavio::TPixelImage& image, float angle)
{
    const QSize size = zavio::RotatedSize(image, angle);
    zavio::TBitmap target(size.width(), size.height());
    target.fill(255, 255, 255);
    return target;
}

int run(const zavio::bench::BenchOptions& options)
{
    const zavio::bench::FirstPhoto photo(options.folder);
    zavio::configureImageReaders();

    zavio::TPixelImage image;
    if (!image.LoadPicture(photo.path()) || !image.Is24Bit()) {
        std::fprintf(stderr, "rotation: the photo did not load\n");
        return 1;
    }

    std::vector<double> fastMs;
    zavio::TBitmap fast;
    for (int r = 0; r < options.reps; ++r) {
        fast = whiteTarget(image, kQuarterTurn);
        const Clock::time_point start = Clock::now();
        zavio::RotateImage(image, kQuarterTurn, fast);
        fastMs.push_back(msSince(start));
    }

    zavio::TBitmap slow = whiteTarget(image, kQuarterTurn);
    const Clock::time_point literalStart = Clock::now();
    zavio::literal::rotateImage(image, kQuarterTurn, slow);
    const double literalMs = msSince(literalStart);
    if (!fast.samePixels(slow)) {
        std::fprintf(stderr, "rotation: the fast quarter turn differs from the plain rule\n");
        return 1;
    }

    zavio::TBitmap other = whiteTarget(image, kOtherAngle);
    const Clock::time_point otherStart = Clock::now();
    zavio::RotateImage(image, kOtherAngle, other);
    const double otherMs = msSince(otherStart);
    std::fprintf(stderr, "# %dx%d turned by %g into %dx%d\n", image.Bitmap()->width(), image.Bitmap()->height(),
                 double(kOtherAngle), other.width(), other.height());

    printSamples("rotate_ms", fastMs);
    const double fastMedian = zavio::bench::median(fastMs);
    printFigure("rotate_ms", fastMedian);
    printFigure("rotate_literal_ms", literalMs);
    printFigure("rotate_30_ms", otherMs);
    zavio::bench::printPeakRss();
    printFigure("rotate_speedup", fastMedian > 0 ? literalMs / fastMedian : 0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return zavio::bench::benchMain(argc, argv, "rotation", "[folder] [--dir folder] [--reps n]",
                                   [&](const zavio::bench::BenchOptions& options) { return run(options); });
}
