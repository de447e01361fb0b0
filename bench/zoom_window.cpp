// Measures the zoom window on a 4000 x 3000 photo-like JPEG: opening it
// against a plain decode of the same file, and one zoom step with its repaint
// at 200 %. Prints one "name value" line per figure on stdout.

#include "BenchPhotos.h"
#include "BenchStats.h"

#include "common/Selection.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLoader.h"
#include "viewer/TForm2.h"
#include "viewer/ZoomImage.h"

#include <QApplication>
#include <QMouseEvent>

#include <chrono>
#include <cstdio>

namespace {

using zavio::bench::Clock;
using zavio::bench::msSince;
using zavio::bench::printFigure;
using zavio::bench::printSamples;

// A common desktop screen, so that the 200 % view overflows it both ways as it
// would for a user (the offscreen platform's own screen is 800 x 600).
const QSize kScreen(1920, 1080);

// A press and release of button over the picture, as the user's click.
void clickPicture(zavio::TForm2& form, Qt::MouseButton button)
{
    const QPointF at(5, 5);
    auto* picture = &zavio::bench::control<zavio::ZoomImage>(form, "Image1");
    QMouseEvent press(QEvent::MouseButtonPress, at, picture->mapToGlobal(at), button, button, {});
    QApplication::sendEvent(picture, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, picture->mapToGlobal(at), button, {}, {});
    QApplication::sendEvent(picture, &release);
}

// The offscreen platform says on every fixed-size change that it has no window
// manager to tell; that note is dropped, everything else goes to stderr.
void quietOffscreenNotes(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (!message.contains(QLatin1String("propagateSizeHints")))
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// Counts the paint events of the picture, so the figures are known to include
// real drawing.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

int run(const zavio::bench::BenchOptions& options, int argc, char** argv)
{
    qInstallMessageHandler(quietOffscreenNotes);
    const zavio::bench::FirstPhoto photo(options.folder);
    const QString path = photo.path();

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zavio::configureImageReaders();

    const std::vector<double> decodeMs = photo.timePlainDecodes(options.reps);

    zavio::Selection selection;
    zavio::TForm2 form(selection, kScreen);
    selection.SelectedPicture = path;
    std::vector<double> openMs;
    for (int r = 0; r < options.reps; ++r) {
        const Clock::time_point start = Clock::now();
        if (!form.FormActivate())
            return 1;
        openMs.push_back(msSince(start));
    }
    PaintCounter counter;
    auto* picture = &zavio::bench::control<zavio::ZoomImage>(form, "Image1");
    picture->installEventFilter(&counter);
    form.show();
    QApplication::processEvents();

    while (form.zoomTenths() < 20)
        clickPicture(form, Qt::LeftButton);
    std::vector<double> stepMs;
    for (int r = 0; r < std::max(options.reps, 15); ++r) {
        clickPicture(form, Qt::RightButton);
        form.repaint();
        QApplication::processEvents();
        const Clock::time_point start = Clock::now();
        clickPicture(form, Qt::LeftButton);
        form.repaint();
        stepMs.push_back(msSince(start));
        QApplication::processEvents();
    }
    std::fprintf(stderr, "# %d paints of the picture\n", counter.paints);
    std::fprintf(stderr, "# 200 %%: picture %dx%d in a %dx%d window\n", picture->width(), picture->height(),
                 form.width(), form.height());

    printSamples("decode_ms", decodeMs);
    printSamples("zoom_open_ms", openMs);
    printSamples("zoom_step_ms", stepMs);
    const double decode = zavio::bench::median(decodeMs);
    const double open = zavio::bench::median(openMs);
    printFigure("decode_ms", decode);
    printFigure("zoom_open_ms", open);
    printFigure("zoom_step_ms", zavio::bench::median(stepMs), 2);
    zavio::bench::printPeakRss();
    printFigure("zoom_open_ratio", decode > 0 ? open / decode : 0, 3);
    form.close();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return zavio::bench::benchMain(argc, argv, "zoom_window", "[folder] [--dir folder] [--reps n]",
                                   [&](const zavio::bench::BenchOptions& options) { return run(options, argc, argv); });
}
