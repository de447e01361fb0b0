#include "ScenePhotos.h"

#include "browser/PageFiller.h"
#include "browser/TForm1.h"
#include "comments/TForm6.h"
#include "common/CanvasImage.h"
#include "common/Selection.h"
#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureLoader.h"
#include "imaging/ThumbnailFit.h"
#include "rotation/TForm7.h"
#include "rotation/TdispForm.h"
#include "support/Controls.h"
#include "support/PictureFolder.h"
#include "support/WindowShot.h"
#include "viewer/TForm2.h"
#include "viewer/ZoomImage.h"
#include "viewer/ZoomLevels.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::PictureFolder;

namespace {

constexpr QRgb kSilver = 0xffc0c0c0;

// The scale factor this run was started with.
double scaleFactor()
{
    bool ok = false;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok ? factor : 1.0;
}

// A layout size on the screen: scaled and rounded to whole device pixels.
QSize onScreen(int width, int height)
{
    const double s = scaleFactor();
    return QSize(int(std::lround(width * s)), int(std::lround(height * s)));
}

// Every pixel its own colour, so a pixel sampled from the wrong place shows.
TBitmap noise(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const quint32 v = random.generate();
            bitmap.setPixel(x, y, std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16));
        }
    return bitmap;
}

// The picture as the program decodes it.
TBitmap decoded(const QString& path)
{
    TBitmap bitmap;
    EXPECT_TRUE(loadPictureInto(FilePath(path), bitmap)) << path.toStdString();
    return bitmap;
}

// The source index the nearest-neighbour rule picks for destination c of a
// span from edge a to edge b (mirrored when b < a) over n source pixels: the
// one under the centre of the destination pixel; -1 outside the span.
int nearestSource(int c, int a, int b, int n)
{
    const int low = std::min(a, b), high = std::max(a, b);
    if (c < low || c >= high)
        return -1;
    const long long step = b < a ? a - 1 - c : c - a;
    return int(std::floor((double(step) + 0.5) * n / (high - low)));
}

// Checks every device pixel of drawn (size device) against picture sampled
// into rect, silver elsewhere; stops at the first few wrong pixels.
void expectSampled(const QImage& drawn, QSize device, const FitRect& rect, const TBitmap& picture,
                   const std::string& what)
{
    ASSERT_EQ(drawn.size(), device) << what;
    int wrong = 0;
    for (int y = 0; y < device.height() && wrong < 5; ++y) {
        const int sy = nearestSource(y, rect.top, rect.bottom, picture.height());
        for (int x = 0; x < device.width() && wrong < 5; ++x) {
            const int sx = nearestSource(x, rect.left, rect.right, picture.width());
            const QRgb want = (sx < 0 || sy < 0) ? kSilver : picture.pixel(sx, sy);
            if (drawn.pixel(x, y) != want) {
                ++wrong;
                ADD_FAILURE() << what << ": device pixel " << x << "," << y << " is " << std::hex << drawn.pixel(x, y)
                              << ", the rule picks " << want;
            }
        }
    }
}

// What the control puts on the screen, in device pixels.
QImage shownOnScreen(QWidget* widget)
{
    const QPixmap grabbed = widget->grab();
    EXPECT_DOUBLE_EQ(grabbed.devicePixelRatio(), scaleFactor());
    return grabbed.toImage().convertToFormat(QImage::Format_RGB32);
}

struct CurrentFolder {
    QString previous = QDir::currentPath();
    explicit CurrentFolder(const QString& path) { QDir::setCurrent(path); }
    ~CurrentFolder() { QDir::setCurrent(previous); }
};

} // namespace

TEST(ScreenScale, RunsAtTheRequestedScale)
{
    QWidget window;
    window.show();
    EXPECT_DOUBLE_EQ(window.devicePixelRatioF(), scaleFactor());
}

TEST(ScreenScale, ThumbnailCellsAreSampledAtDevicePixels)
{
    // Every band of the fit, a mirrored one, BMP and JPEG.
    PictureFolder folder;
    struct Picture {
        const char* name;
        int width, height;
    };
    const Picture pictures[] = {{"a_middle.bmp", 400, 300}, {"b_wide.bmp", 640, 240}, {"c_narrow.bmp", 240, 320},
                                {"d_square.jpg", 300, 300}, {"e_thin.bmp", 50, 400},  {"f_small.bmp", 37, 23},
                                {"g_large.jpg", 1920, 1080}};
    quint32 seed = 1;
    for (const Picture& p : pictures) {
        const TBitmap pixels = noise(p.width, p.height, seed++);
        const QString name = QLatin1String(p.name);
        folder.writeBytes(name,
                          name.endsWith(QLatin1String(".bmp")) ? encodeBmp24(pixels) : TJPEGImage::encode(pixels, 90));
    }
    Selection selection;
    TForm1 form(selection);
    form.show();
    form.openFolder(folder.path());

    const QSize cell = onScreen(131, 101);
    for (int n = 1; n <= int(std::size(pictures)); ++n) {
        const Picture& p = pictures[n - 1];
        ASSERT_EQ(form.cellCaption(n), QLatin1String(p.name));
        const TBitmap source = decoded(folder.filePath(QLatin1String(p.name)));
        const FitRect rect = ThumbnailFit(p.width, p.height, cell.width(), cell.height(), 5, 0);
        expectSampled(form.cellImage(n).convertToFormat(QImage::Format_RGB32), cell, rect, source,
                      std::string("cell of ") + p.name);
        expectSampled(shownOnScreen(control<CanvasImage>(form, QStringLiteral("Image%1").arg(n))), cell, rect, source,
                      std::string("cell on the screen of ") + p.name);
    }
    // The cells after the last picture are silver to their last device pixel.
    const QImage empty =
        shownOnScreen(control<CanvasImage>(form, QStringLiteral("Image%1").arg(std::size(pictures) + 1)));
    EXPECT_EQ(empty.size(), cell);
    EXPECT_EQ(empty.pixel(cell.width() - 1, cell.height() - 1), kSilver);
    EXPECT_EQ(empty.pixel(0, 0), kSilver);
}

TEST(ScreenScale, BrokenPictureMarkKeepsItsLineWeight)
{
    // The red frame of the mark is two layout pixels wide at every scale.
    const QSize cell = onScreen(131, 101);
    const QImage mark = brokenPictureCell(cell.width(), cell.height()).image().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(mark.size(), cell);
    const int weight = int(std::lround(2 * scaleFactor()));
    const int y = cell.height() / 2;
    for (int x = 0; x < weight; ++x)
        EXPECT_EQ(mark.pixel(x, y), qRgb(200, 0, 0)) << "frame column " << x;
    EXPECT_EQ(mark.pixel(weight, y), qRgb(255, 255, 255)) << "inside the frame";
}

TEST(ScreenScale, ThumbnailCacheKeepsCellsOfTheDeviceSize)
{
    // The cache keys a cell by the device size it was drawn at: a page shown
    // again comes from the cache at that size, and a cell of another size is
    // never served for it.
    PictureFolder folder;
    folder.writeBytes(QStringLiteral("p.bmp"), encodeBmp24(noise(300, 200, 7)));
    Selection selection;
    TForm1 form(selection);
    form.show();
    int renders = 0;
    QSize renderedAt;
    form.setThumbnailRenderer([&](const FilePath& path, int w, int h, TBitmap& scratch) {
        ++renders;
        renderedAt = QSize(w, h);
        return renderThumbnailCell(path, w, h, scratch);
    });
    form.setDecodeThreads(1);
    form.openFolder(folder.path());
    EXPECT_EQ(renders, 1);
    EXPECT_EQ(renderedAt, onScreen(131, 101));
    form.rereadFolder();
    EXPECT_EQ(renders, 1) << "the page shown again comes from the cache";
    EXPECT_EQ(form.cellImage(1).size(), onScreen(131, 101));
}

TEST(ScreenScale, ZoomWindowShowsThePictureAtDevicePixels)
{
    // A picture exactly the device size of the opening view (1000 x 500
    // layout pixels), so every device pixel is one picture pixel; at 50 % the
    // view is the half-size copy, shown unscaled too.
    const QSize device = onScreen(1000, 500);
    PictureFolder folder;
    const TBitmap pixels = noise(device.width(), device.height(), 11);
    folder.writeBytes(QStringLiteral("z.bmp"), encodeBmp24(pixels));
    CurrentFolder current(folder.path());
    Selection selection;
    selection.SelectedPicture = FilePath(QStringLiteral("z.bmp"));
    TForm2 form(selection, QSize(1280, 1024));
    ASSERT_TRUE(form.FormActivate());
    form.show();
    ZoomImage* picture = control<ZoomImage>(form, "Image1");
    ASSERT_EQ(picture->size(), QSize(1000, 500));
    const FitRect whole{0, 0, device.width(), device.height()};
    expectSampled(shownOnScreen(picture), device, whole, pixels, "zoom window at 100 %");

    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(picture, Qt::RightButton, {}, QPoint(5, 5));
    ASSERT_EQ(picture->size(), QSize(500, 250));
    const QImage half = halveImage(pixels.image());
    const QImage shown = shownOnScreen(picture);
    ASSERT_EQ(shown.size(), half.size());
    EXPECT_EQ(shown, half.convertToFormat(QImage::Format_RGB32)) << "zoom window at 50 %";
    form.close();
}

TEST(ScreenScale, RotationPreviewIsSampledAtDevicePixels)
{
    PictureFolder folder;
    Selection selection;
    TForm7 form(selection);
    const QSize area = onScreen(313, 233);
    const QSize box = onScreen(317, 237);
    struct Picture {
        const char* name;
        int width, height;
    };
    const Picture pictures[] = {{"wide.bmp", 1000, 500},    {"middle.bmp", 800, 600}, {"narrow.jpg", 600, 800},
                                {"square.bmp", 1000, 1000}, {"thin.bmp", 300, 1000},  {"small.bmp", 200, 100}};
    quint32 seed = 20;
    for (const Picture& p : pictures) {
        const QString name = QLatin1String(p.name);
        const TBitmap pixels = noise(p.width, p.height, seed++);
        folder.writeBytes(name,
                          name.endsWith(QLatin1String(".bmp")) ? encodeBmp24(pixels) : TJPEGImage::encode(pixels, 90));
        selection.SelectedPicture = FilePath(folder.filePath(name));
        form.FormActivate();
        form.show();
        const TBitmap source = decoded(folder.filePath(name));
        const FitRect rect = PreviewFit(p.width, p.height, box.width(), box.height(), 40, 40);
        expectSampled(control<CanvasImage>(form, "Image1")->canvas().image().convertToFormat(QImage::Format_RGB32),
                      area, rect, source, std::string("preview of ") + p.name);
        expectSampled(shownOnScreen(control<CanvasImage>(form, "Image1")), area, rect, source,
                      std::string("preview on the screen of ") + p.name);
    }
    form.hide();
}

TEST(ScreenScale, CommentViewerPictureIsSampledAtDevicePixels)
{
    PictureFolder folder;
    folder.writeBytes(QStringLiteral("coment.txt"), QByteArray());
    const TBitmap pixels = noise(800, 400, 31);
    folder.writeBytes(QStringLiteral("wide.bmp"), encodeBmp24(pixels));
    Selection selection;
    selection.setFolder(FilePath(folder.path()));
    TForm6 viewer(selection);
    selection.SelectedCommentKey = FilePath(QStringLiteral("wide.bmp"));
    viewer.FormActivate();
    viewer.show();
    const QSize area = onScreen(571, 421);
    const FitRect rect = PreviewFit(800, 400, area.width(), area.height(), 40, 40);
    expectSampled(shownOnScreen(control<CanvasImage>(viewer, "Image1")), area, rect, pixels,
                  "comment viewer's picture");
    viewer.hide();
}

TEST(ScreenScale, ScreenshotsOfTheWindows)
{
    const QString shots = qEnvironmentVariable("ZAVIO_SHOTS");
    if (shots.isEmpty())
        GTEST_SKIP() << "set ZAVIO_SHOTS to a folder to save the screenshots";
    const QString suffix = QStringLiteral("-%1.png").arg(int(std::lround(scaleFactor() * 100)));
    PictureFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("旅行の写真")));
    const QStringList names{"夕暮れの丘.jpg", "夜の街.jpg", "花畑.jpg", "海辺.jpg", "稲荷神社.jpg", "雪山.jpg"};
    const QSize sizes[] = {{1600, 1200}, {1920, 1080}, {1200, 1600}, {1600, 1200}, {1200, 1200}, {2000, 1000}};
    for (int i = 0; i < 23; ++i) {
        const QString name = i < names.size() ? names[i] : QStringLiteral("IMG_%1.JPG").arg(2000 + i);
        const QSize size = sizes[i % 6];
        folder.writeBytes(
            QStringLiteral("旅行の写真/") + name,
            TJPEGImage::encode(TBitmap::fromImage(fixtures::scenePhoto(i, size.width(), size.height())), 90));
    }
    const QString pictures = folder.filePath(QStringLiteral("旅行の写真"));
    Selection selection;
    TForm1 form(selection);
    form.show();
    form.openFolder(pictures);
    fixtures::saveWindowShot(&form, shots + QStringLiteral("/main-window") + suffix);
    if (qEnvironmentVariableIsEmpty("ZAVIO_SHOTS_ALL_WINDOWS"))
        return;

    CurrentFolder current(pictures);
    selection.SelectedPicture = FilePath(names[4]);
    TForm2 zoom(selection, QSize(1280, 1024));
    ASSERT_TRUE(zoom.FormActivate());
    zoom.show();
    fixtures::saveWindowShot(&zoom, shots + QStringLiteral("/zoom-window") + suffix);
    zoom.close();

    TForm7 rotation(selection);
    selection.SelectedPicture = FilePath(pictures + u'/' + names[1]);
    rotation.FormActivate();
    rotation.show();
    fixtures::saveWindowShot(&rotation, shots + QStringLiteral("/rotation-window") + suffix);
    control<QAction>(rotation, "N2")->trigger();
    if (QWidget* result = rotation.dispForm())
        fixtures::saveWindowShot(result, shots + QStringLiteral("/result-window") + suffix);
    rotation.hide();

    folder.writeBytes(QStringLiteral("旅行の写真/coment.txt"), QByteArray());
    selection.setFolder(FilePath(pictures));
    TForm6 viewer(selection);
    selection.SelectedCommentKey = FilePath(names[3]);
    viewer.FormActivate();
    viewer.show();
    fixtures::saveWindowShot(&viewer, shots + QStringLiteral("/comment-viewer") + suffix);
    viewer.hide();
}

namespace {

QScreen* screenNamed(const QString& name)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

void moveToScreen(QWidget& window, QScreen* screen)
{
    window.windowHandle()->setScreen(screen);
    window.move(screen->geometry().topLeft() + QPoint(20, 20));
    QCoreApplication::processEvents();
}

} // namespace

TEST(ScreenChange, ThumbnailsFollowTheWindowToAScreenOfAnotherScale)
{
    // Run with two offscreen screens, of pixel ratio 1 and 2 (two_screens.json).
    QScreen* unscaled = screenNamed(QStringLiteral("unscaled"));
    QScreen* scaled = screenNamed(QStringLiteral("scaled"));
    if (!unscaled || !scaled)
        GTEST_SKIP() << "needs the offscreen screens of two_screens.json";
    PictureFolder folder;
    const TBitmap pixels = noise(300, 200, 41);
    folder.writeBytes(QStringLiteral("p.bmp"), encodeBmp24(pixels));
    Selection selection;
    TForm1 form(selection);
    form.show();
    moveToScreen(form, unscaled);
    ASSERT_DOUBLE_EQ(form.devicePixelRatioF(), 1.0);
    int renders = 0;
    form.setDecodeThreads(1);
    form.setThumbnailRenderer([&](const FilePath& path, int w, int h, TBitmap& scratch) {
        ++renders;
        return renderThumbnailCell(path, w, h, scratch);
    });
    form.openFolder(folder.path());
    ASSERT_EQ(form.cellImage(1).size(), QSize(131, 101));

    // On the screen of ratio 2 the page drawn next has cells of 262 x 202
    // device pixels, sampled afresh rather than the cached 131 x 101 ones.
    moveToScreen(form, scaled);
    ASSERT_DOUBLE_EQ(form.devicePixelRatioF(), 2.0);
    form.rereadFolder();
    EXPECT_EQ(renders, 2);
    const QSize device(262, 202);
    const FitRect rect = ThumbnailFit(300, 200, device.width(), device.height(), 5, 0);
    expectSampled(form.cellImage(1).convertToFormat(QImage::Format_RGB32), device, rect, pixels, "cell at ratio 2");
    expectSampled(control<CanvasImage>(form, "Image1")->grab().toImage().convertToFormat(QImage::Format_RGB32), device,
                  rect, pixels, "cell on the screen at ratio 2");
    EXPECT_EQ(form.cellImage(2).size(), device) << "the empty cells are cleared at the new size too";

    // Back on the first screen the cells of that size come from the cache.
    moveToScreen(form, unscaled);
    form.rereadFolder();
    EXPECT_EQ(renders, 2);
    EXPECT_EQ(form.cellImage(1).size(), QSize(131, 101));
}
