#include "browser/TForm1.h"
#include "common/Selection.h"
#include "common/CanvasImage.h"
#include "browser/ThumbLabel.h"
#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "support/CapturedErrors.h"
#include "support/Controls.h"
#include "support/ModalWatcher.h"
#include "support/PictureFolder.h"
#include "support/WindowShot.h"
#include "viewer/TForm2.h"
#include "viewer/TForm3.h"
#include "viewer/ZoomImage.h"
#include "viewer/ZoomLevels.h"
#include "viewer/ZoomRules.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::CapturedErrors;
using zavio::fixtures::ModalWatcher;
using zavio::fixtures::PictureFolder;

namespace {

// Makes a folder the current one for a test, as the main window does.
struct CurrentFolder {
    QString previous = QDir::currentPath();
    explicit CurrentFolder(const QString& path) { QDir::setCurrent(path); }
    ~CurrentFolder() { QDir::setCurrent(previous); }
};

// What a zoom step leaves on the screen.
struct ZoomView {
    QSize image, client;
    bool horizontalBar, verticalBar;
    QString caption;
    bool operator==(const ZoomView&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ZoomView& v)
{
    return out << "image " << v.image.width() << "x" << v.image.height() << " client " << v.client.width() << "x"
               << v.client.height() << " bars " << v.horizontalBar << v.verticalBar << " " << v.caption.toStdString();
}

ZoomView viewOf(const TForm2& form)
{
    return {control<ZoomImage>(form, "Image1")->size(), form.size(),
            control<QScrollArea>(form, "ScrollBox1")->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn,
            control<QScrollArea>(form, "ScrollBox1")->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn,
            form.windowTitle()};
}

ZoomView click(TForm2& form, Qt::MouseButton button)
{
    QTest::mouseClick(control<ZoomImage>(form, "Image1"), button, {}, QPoint(5, 5));
    return viewOf(form);
}

const QSize kScreen1280(1280, 1024);

// A zoom window on a 1280 x 1024 screen, filled with a width x height JPEG
// named name in a folder of its own, which is the current folder meanwhile.
struct ZoomOnPicture {
    PictureFolder folder;
    CurrentFolder current{folder.path()};
    Selection selection;
    TForm2 form{selection, kScreen1280};

    ZoomOnPicture(const QString& name, int width, int height, int seed)
    {
        folder.writeJpeg(name, width, height, seed);
        selection.SelectedPicture = name;
    }
};

} // namespace

TEST(ZoomWindow, GrowsWithThePictureThenScrollsOnA1280Screen)
{
    Selection selection;
    PictureFolder folder;
    folder.writeJpeg(QStringLiteral("a.jpg"), 1200, 900, 3);
    CurrentFolder current(folder.path());
    selection.SelectedPicture = QStringLiteral("a.jpg");
    TForm2 form(selection, kScreen1280);
    EXPECT_EQ(form.screenSize(), kScreen1280);
    ASSERT_TRUE(form.FormActivate());
    form.show();
    EXPECT_EQ(viewOf(form),
              (ZoomView{{1000, 749}, {1000, 749}, false, false, QStringLiteral("可変表示・元サイズ＝1200*900 a.jpg")}));
    EXPECT_EQ(form.baseSize(), QSize(1000, 749));
    EXPECT_FALSE(form.frameIsFixed());
    EXPECT_EQ(control<ZoomImage>(form, "Image1")->cursor().shape(), Qt::BitmapCursor);

    EXPECT_EQ(click(form, Qt::LeftButton), (ZoomView{{1100, 823}, {1100, 823}, false, false, "Size=1100*823"}));
    EXPECT_TRUE(form.frameIsFixed());
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the user cannot resize it now";
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(click(form, Qt::LeftButton), (ZoomView{{1200, 898}, {1200, 898}, false, false, "Size=1200*898"}));
    EXPECT_EQ(click(form, Qt::LeftButton), (ZoomView{{1300, 973}, {1200, 973}, true, false, "Size=1300*973"}));
    EXPECT_GT(control<QScrollArea>(form, "ScrollBox1")->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(click(form, Qt::LeftButton), (ZoomView{{1400, 1048}, {1200, 973}, true, true, "Size=1400*1048"}));
    EXPECT_EQ(click(form, Qt::RightButton), (ZoomView{{1300, 973}, {1200, 973}, true, false, "Size=1300*973"}));
    // The rows under the horizontal bar can still be scrolled to.
    EXPECT_GT(control<QScrollArea>(form, "ScrollBox1")->verticalScrollBar()->maximum(), 0);

    for (int i = 0; i < 7; ++i)
        click(form, Qt::LeftButton);
    EXPECT_EQ(form.zoomTenths(), 20);
    EXPECT_EQ(viewOf(form).image, QSize(2000, 1498));
    EXPECT_EQ(click(form, Qt::LeftButton).image, QSize(2000, 1498)) << "200 % is the largest";

    // Closing starts the next opening afresh: 100 %, resizable, no bars.
    form.close();
    EXPECT_EQ(form.zoomTenths(), 10);
    EXPECT_FALSE(form.frameIsFixed());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(viewOf(form).horizontalBar || viewOf(form).verticalBar);

    folder.writeJpeg(QStringLiteral("small.jpg"), 300, 200, 4);
    selection.SelectedPicture = QStringLiteral("small.jpg");
    ASSERT_TRUE(form.FormActivate());
    form.show();
    EXPECT_EQ(viewOf(form), (ZoomView{{300, 200}, {300, 200}, false, false, QStringLiteral("サイズ＝300*200")}));
    // A narrow picture goes down to 50 % only.
    const int expectedWidths[] = {270, 240, 210, 180, 150, 150, 150};
    for (int width : expectedWidths)
        EXPECT_EQ(click(form, Qt::RightButton).image.width(), width);
    EXPECT_EQ(viewOf(form), (ZoomView{{150, 100}, {150, 100}, false, false, "150*100"}));
    // The middle button moves nothing, but its release still applies the factor.
    EXPECT_EQ(click(form, Qt::MiddleButton), (ZoomView{{150, 100}, {150, 100}, false, false, "150*100"}));
    form.close();
}

// A desktop whose panels leave less room than the screen less 45 pixels: the
// window stops growing at the available area and scrolls there instead of
// running past its edge; with room to spare the rules above hold unchanged.
TEST(ZoomWindow, KeepsWithinTheAvailableAreaAndScrollsThere)
{
    ZoomOnPicture zoom(QStringLiteral("a.jpg"), 1200, 900, 3);
    TForm2& form = zoom.form;
    form.setAvailableArea(QRect(0, 40, 1150, 905));
    ASSERT_TRUE(form.FormActivate());
    form.show();
    // The client area gets what the frame leaves of the area.
    const QSize room = QSize(1150, 905) - (form.frameGeometry().size() - form.size());
    EXPECT_EQ(click(form, Qt::LeftButton), (ZoomView{{1100, 823}, {1100, 823}, false, false, "Size=1100*823"}));
    EXPECT_EQ(click(form, Qt::LeftButton), (ZoomView{{1200, 898}, {room.width(), 898}, true, false, "Size=1200*898"}));
    EXPECT_EQ(click(form, Qt::LeftButton), (ZoomView{{1300, 973}, room, true, true, "Size=1300*973"}));
    for (int i = 0; i < 7; ++i)
        click(form, Qt::LeftButton);
    EXPECT_EQ(viewOf(form), (ZoomView{{2000, 1498}, room, true, true, "Size=2000*1498"}));
    const QScrollArea& box = *control<QScrollArea>(form, "ScrollBox1");
    EXPECT_GE(box.viewport()->width() + box.horizontalScrollBar()->maximum(), 2000);
    EXPECT_GE(box.viewport()->height() + box.verticalScrollBar()->maximum(), 1498);
    EXPECT_TRUE(QRect(0, 40, 1150, 905).contains(form.frameGeometry())) << "moved into the area";
    EXPECT_EQ(click(form, Qt::RightButton).client, room);
    for (int i = 0; i < 9; ++i)
        click(form, Qt::RightButton);
    EXPECT_EQ(viewOf(form), (ZoomView{{1000, 749}, {1000, 749}, false, false, "Size=1000*749"}));
    form.close();

    // A side the rules keep for a scroll bar is still cut to the room.
    const ZoomLayout wide = zoomLayout(QSize(1000, 749), 14, kScreen1280);
    const ZoomClient kept = zoomClient(wide, QSize(1200, 973), QSize(1274, 991));
    EXPECT_EQ(kept.size, QSize(1200, 973));
    EXPECT_FALSE(kept.limited);
    EXPECT_TRUE(kept.horizontalBar && kept.verticalBar);
    const ZoomClient cut = zoomClient(wide, QSize(1200, 973), QSize(1274, 950));
    EXPECT_EQ(cut.size, QSize(1200, 950));
    EXPECT_TRUE(cut.limited);
    const ZoomClient small = zoomClient(zoomLayout(QSize(300, 200), 10, kScreen1280), QSize(300, 200), QSize(250, 950));
    EXPECT_EQ(small.size, QSize(250, 200));
    EXPECT_TRUE(small.horizontalBar);
    EXPECT_FALSE(small.verticalBar);
}

TEST(ZoomWindow, WideBaseReducesToTenPercentAndMiddleButtonFixesTheFrame)
{
    ZoomOnPicture zoom(QStringLiteral("B.JPG"), 1200, 900, 5);
    TForm2& form = zoom.form;
    ASSERT_TRUE(form.FormActivate());
    form.show();
    EXPECT_EQ(click(form, Qt::MiddleButton), (ZoomView{{1000, 749}, {1000, 749}, false, false, "Size=1000*749"}));
    EXPECT_TRUE(form.frameIsFixed());
    for (int i = 0; i < 9; ++i)
        click(form, Qt::RightButton);
    EXPECT_EQ(viewOf(form), (ZoomView{{100, 74}, {100, 74}, false, false, "100*74"}));
    EXPECT_EQ(click(form, Qt::RightButton).image, QSize(100, 74)) << "10 % is the smallest";
    form.close();
}

TEST(ZoomWindow, LoadsByExtensionAndLeavesNothingStaleAfterAFailure)
{
    Selection selection;
    PictureFolder folder;
    folder.writeJpeg(QStringLiteral("E.Jpeg"), 400, 360, 1);
    folder.writeBmp(QStringLiteral("D.BMP"), 360, 420, 2);
    folder.writeBytes(QStringLiteral("broken.jpg"), QByteArray());
    folder.writeBytes(QStringLiteral("notes.txt"), "text");
    CurrentFolder current(folder.path());
    TForm2 form(selection, kScreen1280);

    selection.SelectedPicture = QStringLiteral("E.Jpeg");
    ASSERT_TRUE(form.FormActivate());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("可変表示・元サイズ＝400*360 E.Jpeg"));
    selection.SelectedPicture = QStringLiteral("D.BMP");
    ASSERT_TRUE(form.FormActivate());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("可変表示・元サイズ＝360*420 D.BMP"));
    EXPECT_EQ(form.picture().pixel(7, 9), PictureFolder::pattern(360, 420, 2).pixel(7, 9));
    EXPECT_EQ(control<ZoomImage>(form, "Image1")->accessibleName(), QStringLiteral("D.BMP"))
        << "screen readers name the picture";

    for (const char* bad : {"broken.jpg", "notes.txt", "vanished.jpg"}) {
        CapturedErrors errors;
        selection.SelectedPicture = QString::fromLatin1(bad);
        ModalWatcher watcher;
        form.ShowModal();
        ASSERT_EQ(errors.messages.size(), 1) << bad;
        EXPECT_TRUE(errors.messages[0].contains(selection.SelectedPicture.text())) << errors.messages[0].toStdString();
        EXPECT_EQ(watcher.opened(), 0) << "a picture that cannot be loaded opens no window";
        EXPECT_FALSE(control<ZoomImage>(form, "Image1")->hasPicture());
        EXPECT_TRUE(form.picture().isEmpty());
        EXPECT_TRUE(control<ZoomImage>(form, "Image1")->accessibleName().isEmpty());
    }

    // An empty name opens nothing and reports nothing.
    selection.SelectedPicture = FilePath();
    ModalWatcher watcher;
    form.ShowModal();
    EXPECT_EQ(watcher.opened(), 0);
}

TEST(ZoomWindow, ReducedViewsAreSmoothAndEnlargedViewsKeepTheirPlaces)
{
    Selection selection;
    // Columns of one black and one white pixel: at half size a nearest-neighbour
    // view would be all black or all white, a smooth one is mid grey.
    TBitmap stripes(2400, 1200);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x) {
            const std::uint8_t v = x % 2 ? 255 : 0;
            stripes.setPixel(x, y, v, v, v);
        }
    // A red block in the top-left corner marks where the picture starts.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            stripes.setPixel(x, y, 255, 0, 0);
    PictureFolder folder;
    folder.writeBytes(QStringLiteral("stripes.bmp"), encodeBmp24(stripes));
    CurrentFolder current(folder.path());
    selection.SelectedPicture = QStringLiteral("stripes.bmp");
    TForm2 form(selection, kScreen1280);
    ASSERT_TRUE(form.FormActivate());
    form.show();
    ASSERT_EQ(form.baseSize(), QSize(1000, 500));

    auto isMidGrey = [](QRgb c) { return qAbs(qGray(c) - 128) <= 24; };
    for (int tenths : {10, 5, 1}) {
        while (form.zoomTenths() > tenths)
            click(form, Qt::RightButton);
        const QImage shown = control<ZoomImage>(form, "Image1")->grab().toImage();
        ASSERT_EQ(shown.width(), 1000 * tenths / 10);
        EXPECT_TRUE(isMidGrey(shown.pixel(shown.width() * 3 / 4, shown.height() / 2))) << tenths;
        EXPECT_TRUE(isMidGrey(shown.pixel(shown.width() - 2, shown.height() - 2))) << tenths;
        EXPECT_EQ(qRed(shown.pixel(2, 2)), 255) << tenths;
    }
    while (form.zoomTenths() < 20)
        click(form, Qt::LeftButton);
    // At 200 % (2000 x 1000) the red block covers the first 166 pixels.
    const QImage part = control<ZoomImage>(form, "Image1")->grab(QRect(0, 0, 400, 400)).toImage();
    EXPECT_EQ(part.pixel(150, 150), qRgb(255, 0, 0));
    EXPECT_NE(part.pixel(180, 150), qRgb(255, 0, 0));
    form.close();
}

TEST(ZoomWindow, MagnifierPointer)
{
    Selection selection;
    TForm2 form(selection, kScreen1280);
    const QCursor cursor = control<ZoomImage>(form, "Image1")->cursor();
    ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(0, 0));
    const QImage picture = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(picture.pixel(7, 7)), 0) << "the glass is clear";
    EXPECT_EQ(picture.pixel(7, 1), qRgb(255, 255, 255)) << "white ring";
    EXPECT_EQ(picture.pixel(7, 0), qRgb(0, 0, 0)) << "black outline";
    EXPECT_EQ(picture.pixel(20, 20), qRgb(255, 255, 255)) << "white handle";
    EXPECT_EQ(qAlpha(picture.pixel(31, 0)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(0, 31)), 0);
}

TEST(ThumbnailClick, OpensTheZoomWindowOnTheSlotsPicture)
{
    PictureFolder folder;
    for (int i = 1; i <= 9; ++i)
        folder.writeJpeg(QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')), 40 + i, 30, i);
    Selection selection;
    TForm1 form(selection);
    TForm2 zoom(selection, kScreen1280);
    form.setOpeners({.zoom = [&] { zoom.ShowModal(); }});
    form.openFolder(folder.path());
    ASSERT_EQ(form.cellCaption(7), QStringLiteral("IMG_0007.JPG"));

    QStringList captions;
    ModalWatcher watcher([&](QWidget* modal) {
        EXPECT_EQ(modal, &zoom);
        EXPECT_EQ(modal->windowModality(), Qt::ApplicationModal) << "the main window takes no input meanwhile";
        captions.append(modal->windowTitle());
    });
    QTest::mouseClick(control<CanvasImage>(form, "Image7"), Qt::LeftButton);
    EXPECT_EQ(selection.SelectedPicture, QStringLiteral("IMG_0007.JPG"));
    EXPECT_EQ(watcher.opened(), 1);

    // The modes do not matter, and a second click loads the file anew.
    control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    control<QCheckBox>(form, "CheckBox2")->setChecked(true);
    folder.writeJpeg(QStringLiteral("IMG_0007.JPG"), 60, 50, 1);
    QTest::mouseClick(control<CanvasImage>(form, "Image7"), Qt::LeftButton);
    EXPECT_EQ(watcher.opened(), 2);
    EXPECT_EQ(captions, (QStringList{QStringLiteral("サイズ＝47*30"), QStringLiteral("サイズ＝60*50")}));

    // An empty slot empties the selection and opens nothing.
    QTest::mouseClick(control<CanvasImage>(form, "Image16"), Qt::LeftButton);
    EXPECT_TRUE(selection.SelectedPicture.isEmpty());
    EXPECT_EQ(watcher.opened(), 2);
}

TEST(ZoomWindow, ScreenshotForTheReadme)
{
    Selection selection;
    const QString shots = qEnvironmentVariable("ZAVIO_SHOTS");
    if (shots.isEmpty())
        GTEST_SKIP() << "set ZAVIO_SHOTS to a folder to save the screenshot";
    // An evening landscape: sky, sun and two hills.
    QImage scene(1600, 1200, QImage::Format_RGB32);
    {
        QPainter painter(&scene);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, 0, 1200);
        sky.setColorAt(0, QColor(40, 60, 140));
        sky.setColorAt(0.6, QColor(250, 150, 90));
        painter.fillRect(scene.rect(), sky);
        painter.setBrush(QColor(255, 230, 150));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(1100, 640), 110, 110);
        painter.setBrush(QColor(60, 90, 60));
        painter.drawEllipse(QRectF(-400, 760, 1500, 900));
        painter.setBrush(QColor(40, 70, 50));
        painter.drawEllipse(QRectF(600, 820, 1500, 900));
    }
    PictureFolder folder;
    const QString name = QStringLiteral("夕暮れの丘.jpg");
    folder.writeBytes(name, TJPEGImage::encode(TBitmap::fromImage(scene)));
    CurrentFolder current(folder.path());
    selection.SelectedPicture = name;
    TForm2 form(selection, kScreen1280);
    ASSERT_TRUE(form.FormActivate());
    form.show();
    fixtures::saveWindowShot(&form, shots + QStringLiteral("/zoom-window.png"));
    // At 140 % the picture outgrows the 1280 x 1024 screen both ways.
    for (int i = 0; i < 4; ++i)
        click(form, Qt::LeftButton);
    control<QScrollArea>(form, "ScrollBox1")->horizontalScrollBar()->setValue(300);
    fixtures::saveWindowShot(&form, shots + QStringLiteral("/zoom-window-140.png"));
    form.close();
}

TEST(ThumbnailClick, HelpButtonOpensTheHelpWindowInAnyState)
{
    PictureFolder folder;
    folder.writeNumberedJpegs(3);
    Selection selection;
    TForm1 form(selection);
    TForm3 help;
    form.setOpeners({.help = [&] { help.exec(); }});
    form.openFolder(folder.path());
    ModalWatcher watcher([&](QWidget* modal) { EXPECT_EQ(modal, &help); });
    control<QPushButton>(form, "BitBtn4")->click();
    control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    control<QCheckBox>(form, "CheckBox2")->setChecked(true);
    form.openFolder(QDir::rootPath());
    control<QPushButton>(form, "BitBtn4")->click();
    EXPECT_EQ(watcher.opened(), 2);
}

TEST(ZoomWindow, StaysInsideTheScreenAndReopensWhereTheUserLeftIt)
{
    ZoomOnPicture zoom(QStringLiteral("a.jpg"), 1200, 900, 3);
    TForm2& form = zoom.form;
    ASSERT_TRUE(form.FormActivate());
    form.move(200, 150);
    form.show();
    const QRect screen(QPoint(0, 0), kScreen1280);
    for (int i = 0; i < 10; ++i) {
        click(form, Qt::LeftButton);
        EXPECT_TRUE(screen.contains(form.frameGeometry())) << "step " << i;
    }
    EXPECT_EQ(form.zoomTenths(), 20);
    EXPECT_EQ(form.frameGeometry().right(), screen.right()) << "moved just far enough";

    // The user drags it; the next opening keeps that place.
    form.move(30, 40);
    int openings = 0;
    ModalWatcher watcher([&](QWidget* modal) {
        ++openings;
        EXPECT_EQ(modal->pos(), QPoint(30, 40));
    });
    form.close();
    form.ShowModal();
    EXPECT_EQ(openings, 1);
}
