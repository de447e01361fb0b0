// Measures the rotation window's opening on a 4000 x 3000 photo: its
// activation decodes the file once for both the picture to turn (with its grey
// plane and histogram) and the preview, then draws the preview. Compared with
// one plain decode of the same file. Prints one "name value" line per figure.

#include "BenchPhotos.h"
#include "BenchStats.h"

#include "common/Selection.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLoader.h"
#include "rotation/TForm7.h"

#include <QApplication>

#include <vector>

namespace {

using zavio::bench::Clock;
using zavio::bench::msSince;

int run(const zavio::bench::BenchOptions& options, int argc, char** argv)
{
    const zavio::bench::FirstPhoto photo(options.folder);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zavio::configureImageReaders();

    const std::vector<double> decodeMs = photo.timePlainDecodes(options.reps);

    zavio::Selection selection;
    zavio::TForm7 form(selection);
    selection.SelectedPicture = zavio::FilePath(photo.path());
    std::vector<double> openMs;
    for (int r = 0; r < options.reps; ++r) {
        const Clock::time_point start = Clock::now();
        form.FormActivate();
        openMs.push_back(msSince(start));
        if (!form.pixelImage() || !form.pixelImage()->Is24Bit())
            throw zavio::PictureError(QStringLiteral("回転用に読めませんでした"));
    }

    zavio::bench::printSamples("decode_ms", decodeMs);
    zavio::bench::printSamples("rotation_open_ms", openMs);
    const double decode = zavio::bench::median(decodeMs);
    const double open = zavio::bench::median(openMs);
    zavio::bench::printFigure("decode_ms", decode);
    zavio::bench::printFigure("rotation_open_ms", open);
    zavio::bench::printPeakRss();
    zavio::bench::printFigure("rotation_open_ratio", open / decode, 3);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return zavio::bench::benchMain(argc, argv, "rotation_window", "[folder] [--dir folder] [--reps n]",
                                   [&](const zavio::bench::BenchOptions& options) { return run(options, argc, argv); });
}
