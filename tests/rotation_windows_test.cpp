#include "common/CanvasImage.h"
#include "common/Selection.h"
#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureLoader.h"
#include "rotation/Rotation.h"
#include "rotation/TForm7.h"
#include "rotation/TdispForm.h"
#include "support/CapturedErrors.h"
#include "support/PictureFolder.h"
#include "support/ScratchMount.h"
#include "support/WindowShot.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace zavio;
using zavio::fixtures::CapturedErrors;
using zavio::fixtures::PictureFolder;

namespace {

constexpr QRgb kSilver = 0xffc0c0c0;

// A rotation window on one picture of a folder, loaded as its opening does.
struct RotationFixture {
    PictureFolder folder;
    Selection selection;
    TForm7 form{selection};

    void open(const QString& name)
    {
        selection.SelectedPicture = FilePath(folder.filePath(name));
        form.FormActivate();
    }
    QImage preview() const { return form.Image1->canvas().image(); }
};

// What the result window shows after a turn, as the rotation itself gives it.
TBitmap turned(const TPixelImage& picture, float angle)
{
    const QSize size = RotatedSize(picture, angle);
    TBitmap target(size.width(), size.height());
    target.fill(255, 255, 255);
    RotateImage(picture, angle, target);
    return target;
}

// The mean difference per channel, in levels: small for a JPEG of the same
// picture, large for any other picture.
double meanChannelDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// Gives window the keyboard focus. (Qt's own wait for an active window is
// content as soon as the window it belongs to has the focus.)
void activate(QWidget* window)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == window->windowHandle(); }, 2000));
}

// The menu as it pops up, at least minimumWidth wide.
QImage drawnMenu(QMenu* menu, int minimumWidth)
{
    menu->setMinimumWidth(minimumWidth);
    menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    const QImage drawn = menu->grab().toImage();
    menu->close();
    menu->setMinimumWidth(0);
    return drawn;
}

} // namespace

TEST(RotationWindow, MenuEntriesAreDrawnWhole)
{
    // An entry looks the same in its menu as in one far wider: none is cut short.
    RotationFixture f;
    for (QMenu* menu : {f.form.N1, f.form.dispForm()->FileMenu}) {
        const QImage own = drawnMenu(menu, 0);
        QList<QRect> texts;
        for (QAction* action : menu->actions()) {
            const QRect item = menu->actionGeometry(action);
            texts.append(QRect(item.left(), item.top(), item.width() - 4, item.height()));
        }
        const QImage wide = drawnMenu(menu, 400);
        for (int i = 0; i < texts.size(); ++i)
            EXPECT_EQ(own.copy(texts[i]), wide.copy(texts[i])) << menu->actions()[i]->text().toStdString();
    }
}

TEST(RotationWindow, PreviewsThePictureWithItsSize)
{
    RotationFixture f;
    f.folder.writeJpeg(QStringLiteral("PHOTO.JPG"), 640, 480, 1);
    f.folder.writeBmp(QStringLiteral("small.bmp"), 200, 100, 2);
    f.folder.writeJpeg(QStringLiteral("wide.jpg"), 1000, 500, 3);

    EXPECT_EQ(f.form.windowTitle(), QStringLiteral("画像回転処理"));
    EXPECT_EQ(f.form.N2->text(), QStringLiteral("右９０度(&R)"));
    EXPECT_EQ(f.form.N3->text(), QStringLiteral("左９０度(&L)"));
    EXPECT_EQ(f.form.N4->text(), QStringLiteral("閉じる(&C)"));

    f.open(QStringLiteral("PHOTO.JPG"));
    EXPECT_EQ(f.form.statusText(), QStringLiteral("サイズ＝640*480"));
    ASSERT_TRUE(f.form.pixelImage() && f.form.pixelImage()->Is24Bit()) << "an upper-case extension loads";
    EXPECT_EQ(f.form.previewRect(), QRect(0, 0, 317, 237)) << "the middle band fills the box";
    EXPECT_EQ(f.preview().size(), QSize(313, 233)) << "what lies beyond the picture control is clipped";
    EXPECT_NE(f.preview().pixel(312, 232), kSilver);

    f.open(QStringLiteral("small.bmp"));
    EXPECT_EQ(f.form.statusText(), QStringLiteral("サイズ＝200*100"));
    EXPECT_EQ(f.form.previewRect(), QRect(0, 0, 200, 100)) << "a small picture at its own size";
    EXPECT_EQ(f.preview().pixel(199, 99), PictureFolder::pattern(200, 100, 2).pixel(199, 99));
    EXPECT_EQ(f.preview().pixel(200, 50), kSilver);
    EXPECT_EQ(f.preview().pixel(50, 100), kSilver);

    f.open(QStringLiteral("wide.jpg"));
    EXPECT_EQ(f.form.previewRect(), QRect(QPoint(0, 59), QPoint(316, 176)));
    EXPECT_EQ(f.preview().pixel(100, 58), kSilver);
    EXPECT_NE(f.preview().pixel(100, 59), kSilver);
}

TEST(RotationWindow, ABrokenOrUnturnableFileIsToldAndTheWindowKeepsWorking)
{
    RotationFixture f;
    f.folder.writeBytes(QStringLiteral("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 cut", 8));
    f.folder.writeJpeg(QStringLiteral("other.jpeg"), 64, 48, 4);
    {
        CapturedErrors errors;
        f.open(QStringLiteral("broken.jpg"));
        ASSERT_EQ(errors.messages.size(), 2);
        EXPECT_EQ(errors.messages[0], QStringLiteral("画像ファイルが24ビットbmpでありません."));
        EXPECT_TRUE(errors.messages[1].contains(QStringLiteral("broken.jpg")));
        EXPECT_EQ(f.form.statusText(), QStringLiteral("broken.jpg")) << "the name stays while nothing could be shown";
        EXPECT_EQ(f.preview().pixel(10, 10), kSilver);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    {
        // ".jpeg" previews but is not turned: a clear message, and the turns draw nothing new.
        CapturedErrors errors;
        f.open(QStringLiteral("other.jpeg"));
        ASSERT_EQ(errors.messages.size(), 1);
        EXPECT_TRUE(errors.messages[0].contains(QStringLiteral(".jpeg")));
        EXPECT_EQ(f.form.statusText(), QStringLiteral("サイズ＝64*48"));
        EXPECT_FALSE(f.form.pixelImage()->Is24Bit());
    }
}

TEST(RotationWindow, TurnsAreNeverCumulative)
{
    RotationFixture f;
    f.folder.writeJpeg(QStringLiteral("a.jpg"), 640, 480, 5);
    f.open(QStringLiteral("a.jpg"));
    TdispForm* result = f.form.dispForm();
    EXPECT_EQ(result->windowTitle(), QStringLiteral("結果"));
    EXPECT_FALSE(result->isModal());

    f.form.N2Click();
    EXPECT_TRUE(result->isVisible());
    QApplication::processEvents();
    EXPECT_TRUE(result->ScrollBox->verticalScrollBar()->isVisible()) << "a result taller than the window scrolls";
    EXPECT_GT(result->ScrollBox->verticalScrollBar()->maximum(), 0);
    const TBitmap right = turned(*f.form.pixelImage(), 270.0f);
    EXPECT_EQ(result->result().image(), right.image());
    EXPECT_EQ(result->result().width(), 480);
    EXPECT_EQ(result->ResultImage->canvas().image(), right.image());

    f.form.N2Click();
    EXPECT_EQ(result->result().image(), right.image()) << "right twice is right once";
    f.form.N3Click();
    EXPECT_EQ(result->result().image(), turned(*f.form.pixelImage(), 90.0f).image());
    result->C1Click();
    EXPECT_FALSE(result->isVisible());

    int closes = 0;
    f.form.setOnClose([&] { ++closes; });
    f.form.show();
    f.form.N4Click();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(f.form.isVisible());
}

TEST(RotationWindow, ComingBackFromTheResultWindowReloadsThePicture)
{
    RotationFixture f;
    f.folder.writeJpeg(QStringLiteral("a.jpg"), 64, 48, 9);
    f.open(QStringLiteral("a.jpg"));
    f.form.show();
    activate(&f.form);
    TdispForm* result = f.form.dispForm();

    // A click straight into the result window's menu: the window gets the
    // focus while its menu is open, which Qt does not count as activating it.
    f.form.N2Click();
    result->FileMenu->popup(result->mapToGlobal(QPoint(0, 0)));
    activate(result);
    result->FileMenu->close();
    EXPECT_EQ(f.form.statusText(), QStringLiteral("サイズ＝64*48")) << "going to the result window reloads nothing";

    // The overwrite closes the result window, which had the focus: the
    // rotation window takes it back and shows the file as saved.
    result->FileMenuCloseClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == f.form.windowHandle(); }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.form.statusText() == QStringLiteral("サイズ＝48*64"); }, 2000))
        << f.form.statusText().toStdString();
    ASSERT_TRUE(f.form.pixelImage());
    EXPECT_EQ(f.form.pixelImage()->Width(), 48u);
    EXPECT_EQ(f.form.previewRect(), QRect(0, 0, 48, 64));

    // Every return reloads once, whichever way the user comes back: a file
    // broken meanwhile is told once for each.
    f.form.N2Click();
    activate(result);
    f.folder.writeBytes(QStringLiteral("a.jpg"), QByteArray("\xff\xd8\xff\xe0 cut", 8));
    CapturedErrors errors;
    result->C1Click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return errors.messages.size() >= 2; }, 2000));
    f.form.N2Click();
    activate(result);
    activate(&f.form);
    QTest::qWait(50);
    EXPECT_EQ(errors.messages.size(), 4) << errors.messages.join(u'|').toStdString();
    f.form.close();
}

TEST(ResultWindow, SavesByTheExtensionRulesAndClosesAfterEveryOutcome)
{
    RotationFixture f;
    f.folder.writeJpeg(QStringLiteral("a.jpg"), 64, 48, 6);
    f.open(QStringLiteral("a.jpg"));
    f.form.N3Click();
    TdispForm* result = f.form.dispForm();
    const QImage shown = result->result().image();

    QStringList filters = result->SavePictureDialog1->nameFilters();
    ASSERT_EQ(filters.size(), 2);
    EXPECT_TRUE(filters[0].startsWith(QStringLiteral("画像ファイル(*.jpg;*.bmp)")));
    EXPECT_TRUE(filters[1].startsWith(QStringLiteral("全ファイル(*.*)")));
    EXPECT_EQ(result->SavePictureDialog1->selectedNameFilter(), QStringLiteral("画像ファイル(*.jpg;*.bmp)"))
        << "the first is chosen, shown by its name alone";
    EXPECT_TRUE(result->SavePictureDialog1->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_FALSE(result->SavePictureDialog1->testOption(QFileDialog::DontConfirmOverwrite));

    auto saveAs = [&](const QString& name) {
        result->setSaveNameAsker([&](QFileDialog&) { return name.isEmpty() ? name : f.folder.filePath(name); });
        result->show();
        CapturedErrors errors;
        result->FileMenuSaveClick();
        EXPECT_FALSE(result->isVisible()) << name.toStdString();
        return errors.messages;
    };
    EXPECT_TRUE(saveAs(QStringLiteral("out.bmp")).isEmpty());
    TBitmap back;
    ASSERT_TRUE(loadPicture(FilePath(f.folder.filePath(QStringLiteral("out.bmp"))), back));
    EXPECT_EQ(back.image(), shown) << "the BMP holds the result pixel for pixel";

    EXPECT_TRUE(saveAs(QStringLiteral("out.JPG")).isEmpty());
    ASSERT_TRUE(loadPicture(FilePath(f.folder.filePath(QStringLiteral("out.JPG"))), back));
    ASSERT_EQ(back.image().size(), shown.size());
    EXPECT_LT(meanChannelDifference(back.image(), shown), 4.0) << "the JPEG holds the result within its error";

    EXPECT_EQ(saveAs(QStringLiteral("out.jpeg")), QStringList{QStringLiteral(".jpg の3文字のみ有効です")});
    EXPECT_EQ(saveAs(QStringLiteral("out.png")), QStringList{QStringLiteral("拡張子(Extension)が違います")});
    EXPECT_EQ(saveAs(QStringLiteral("out")), QStringList{QStringLiteral("拡張子(Extension)が違います")});
    EXPECT_TRUE(saveAs(QString()).isEmpty()) << "cancelled";
    EXPECT_FALSE(QFile::exists(f.folder.filePath(QStringLiteral("out.jpeg"))));
    EXPECT_FALSE(QFile::exists(f.folder.filePath(QStringLiteral("out.png"))));

    // The overwrite replaces the picture's own file at once.
    result->show();
    result->FileMenuCloseClick();
    EXPECT_FALSE(result->isVisible());
    ASSERT_TRUE(loadPicture(FilePath(f.folder.filePath(QStringLiteral("a.jpg"))), back));
    EXPECT_EQ(back.width(), 48);
}

TEST(ResultWindow, AFailedSaveLeavesThePictureAndTheWindowOpen)
{
    const auto mount = fixtures::ScratchMount::tryMount(256 * 1024);
    if (!mount)
        GTEST_SKIP() << "mounting a small file system needs root";
    Selection selection;
    TForm7 form(selection);
    const QString original = mount->filePath(QStringLiteral("photo.bmp"));
    {
        QFile file(original);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(encodeBmp24(PictureFolder::pattern(100, 60, 7)));
    }
    const QByteArray before = [&] {
        QFile file(original);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    selection.SelectedPicture = FilePath(original);
    form.FormActivate();
    form.N2Click();
    TdispForm* result = form.dispForm();
    ASSERT_TRUE(mount->setReadOnly(true));
    CapturedErrors errors;
    result->FileMenuCloseClick();
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_TRUE(errors.messages[0].contains(QStringLiteral("photo.bmp"))) << errors.messages[0].toStdString();
    EXPECT_TRUE(result->isVisible()) << "the window stays open after a failed write";
    QFile file(original);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    mount->setReadOnly(false);
}

TEST(RotationWindow, ScreenshotsForTheReadme)
{
    const QString shots = qEnvironmentVariable("ZAVIO_SHOTS");
    if (shots.isEmpty())
        GTEST_SKIP() << "set ZAVIO_SHOTS to a folder to save the screenshots";
    RotationFixture f;
    f.folder.writeJpeg(QStringLiteral("旅行_京都.jpg"), 1200, 900, 8);
    f.open(QStringLiteral("旅行_京都.jpg"));
    f.form.show();
    fixtures::saveWindowShot(&f.form, shots + QStringLiteral("/rotation-window.png"));
    f.form.N2Click();
    QApplication::processEvents();
    fixtures::saveWindowShot(f.form.dispForm(), shots + QStringLiteral("/result-window.png"));
    f.form.dispForm()->close();
    f.form.close();
}
