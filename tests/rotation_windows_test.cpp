#include "common/CanvasImage.h"
#include "common/Selection.h"
#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureLoader.h"
#include "rotation/Rotation.h"
#include "rotation/TForm7.h"
#include "rotation/TdispForm.h"
#include "common/WindowPlacement.h"
#include "rotation/PictureSaver.h"
#include "fixtures/BmpFixtures.h"
#include "support/CapturedErrors.h"
#include "fixtures/ExifFixtures.h"
#include "support/Controls.h"
#include "support/PictureFolder.h"
#include "support/ScratchMount.h"
#include "support/WindowShot.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <vector>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::CapturedErrors;
using zavio::fixtures::PictureFolder;

namespace {

constexpr char kNothingToSaveText[] = "保存する回転結果がありません。画像を読み込めなかったか、回転できませんでした。";

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A message shown while a window opens, with what the user saw beside it.
struct SeenMessage {
    QString text;
    bool windowVisible = false;
    bool hourglass = false;
};

// Collects the messages, noting for each whether window was on the screen
// and whether the hourglass was up while the message waited.
struct MessageWatch {
    QList<SeenMessage> seen;
    ErrorReporter previous;
    explicit MessageWatch(const QWidget& window)
    {
        previous = setErrorReporter([this, &window](const QString& m) {
            seen.append({m, window.isVisible(), QApplication::overrideCursor() != nullptr});
        });
    }
    ~MessageWatch() { setErrorReporter(previous); }
    MessageWatch(const MessageWatch&) = delete;
    MessageWatch& operator=(const MessageWatch&) = delete;
};

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
    QImage preview() const { return control<CanvasImage>(form, "Image1")->canvas().image(); }
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
    for (QMenu* menu : {control<QMenu>(f.form, "N1"), control<QMenu>(*f.form.dispForm(), "FileMenu")}) {
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
    EXPECT_EQ(control<QMenu>(f.form, "N1")->title(), QStringLiteral("回転"));
    EXPECT_EQ(control<QAction>(f.form, "N2")->text(), QStringLiteral("右９０度(&R)"));
    EXPECT_EQ(control<QAction>(f.form, "N3")->text(), QStringLiteral("左９０度(&L)"));
    EXPECT_EQ(control<QAction>(f.form, "N4")->text(), QStringLiteral("閉じる(&C)"));

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
    f.folder.writeJpeg(QStringLiteral("good.jpg"), 40, 30, 3);
    f.folder.writeBytes(QStringLiteral("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 cut", 8));
    f.folder.writeJpeg(QStringLiteral("other.jpeg"), 64, 48, 4);
    TdispForm* result = f.form.dispForm();
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
        // The turns of the broken file, after a turn of another picture.
        CapturedErrors errors;
        f.open(QStringLiteral("good.jpg"));
        control<QAction>(f.form, "N2")->trigger();
        ASSERT_FALSE(result->result().isEmpty());
        f.open(QStringLiteral("broken.jpg"));
        for (QAction* turn : {control<QAction>(f.form, "N2"), control<QAction>(f.form, "N3")}) {
            turn->trigger();
            EXPECT_TRUE(result->isVisible());
            EXPECT_TRUE(result->result().isEmpty()) << turn->text().toStdString();
            EXPECT_TRUE(control<CanvasImage>(*result, "ResultImage")->canvas().isEmpty());
        }
    }
    {
        // ".jpeg" previews but is not turned: a clear message, and the turns draw nothing.
        CapturedErrors errors;
        f.open(QStringLiteral("good.jpg"));
        control<QAction>(f.form, "N3")->trigger();
        ASSERT_FALSE(result->result().isEmpty());
        errors.messages.clear();
        f.open(QStringLiteral("other.jpeg"));
        ASSERT_EQ(errors.messages.size(), 1);
        EXPECT_EQ(errors.messages[0],
                  QStringLiteral("拡張子が .jpeg の画像は回転できません。.jpg の名前で保存し直すと回転できます。"));
        EXPECT_EQ(f.form.statusText(), QStringLiteral("サイズ＝64*48"));
        EXPECT_FALSE(f.form.pixelImage()->Is24Bit());
        for (QAction* turn : {control<QAction>(f.form, "N2"), control<QAction>(f.form, "N3")}) {
            turn->trigger();
            EXPECT_TRUE(result->isVisible());
            EXPECT_TRUE(result->result().isEmpty()) << turn->text().toStdString();
        }
        EXPECT_EQ(errors.messages.size(), 1) << "the turns themselves tell nothing";
    }
}

TEST(ResultWindow, ATurnOfAPictureThatCouldNotBeLoadedIsEmptyAndNeverSaved)
{
    RotationFixture f;
    f.folder.writeJpeg(QStringLiteral("a.jpg"), 64, 48, 1);
    f.folder.writeJpeg(QStringLiteral("b.jpeg"), 64, 48, 2);
    QByteArray cut = TJPEGImage::encode(PictureFolder::pattern(64, 48, 3), 90);
    cut.truncate(cut.size() / 2);
    f.folder.writeBytes(QStringLiteral("c.jpg"), cut);
    TdispForm* result = f.form.dispForm();
    int asked = 0;
    result->setSaveNameAsker([&](QFileDialog&) {
        ++asked;
        return f.folder.filePath(QStringLiteral("copy.jpg"));
    });

    for (const QString& name : {QStringLiteral("b.jpeg"), QStringLiteral("c.jpg")}) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray before = bytesOf(f.folder.filePath(name));
        // Turn a.jpg and close both windows, then open the other file.
        f.open(QStringLiteral("a.jpg"));
        control<QAction>(f.form, "N2")->trigger();
        ASSERT_EQ(result->result().width(), 48);
        result->C1Click();
        f.form.close();
        {
            CapturedErrors opening;
            f.open(name);
        }
        control<QAction>(f.form, "N2")->trigger();
        EXPECT_TRUE(result->isVisible());
        EXPECT_TRUE(result->result().isEmpty()) << "no pixels of a.jpg";
        EXPECT_TRUE(control<CanvasImage>(*result, "ResultImage")->canvas().isEmpty());

        CapturedErrors errors;
        result->FileMenuCloseClick();
        EXPECT_EQ(errors.messages, QStringList{QString::fromUtf8(kNothingToSaveText)});
        EXPECT_FALSE(result->isVisible());
        EXPECT_EQ(bytesOf(f.folder.filePath(name)), before) << "nothing written over it";

        result->show();
        result->FileMenuSaveClick();
        EXPECT_EQ(errors.messages.size(), 2);
        EXPECT_EQ(errors.messages.value(1), QString::fromUtf8(kNothingToSaveText));
        EXPECT_EQ(asked, 0) << "no name is asked for";
        EXPECT_FALSE(QFile::exists(f.folder.filePath(QStringLiteral("copy.jpg"))));
        EXPECT_FALSE(result->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    // A turn that cannot get the memory for its result leaves it empty too,
    // and the save commands tell why.
    f.open(QStringLiteral("a.jpg"));
    control<QAction>(f.form, "N3")->trigger();
    ASSERT_FALSE(result->result().isEmpty());
    TPixelImage line;
    ASSERT_TRUE(line.LoadBitmap(TBitmap(65535, 1)));
    result->ShowRotated(&line, 45.0f, FilePath(f.folder.filePath(QStringLiteral("a.jpg"))));
    EXPECT_TRUE(result->result().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const QByteArray a = bytesOf(f.folder.filePath(QStringLiteral("a.jpg")));
    CapturedErrors errors;
    result->FileMenuCloseClick();
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_TRUE(errors.messages[0].startsWith(QString::fromUtf8(kNothingToSaveText)));
    EXPECT_TRUE(errors.messages[0].contains(QStringLiteral("大きすぎます"))) << errors.messages[0].toStdString();
    EXPECT_EQ(bytesOf(f.folder.filePath(QStringLiteral("a.jpg"))), a);
}

TEST(ResultWindow, OverwriteWritesThePictureTheResultWasTurnedFrom)
{
    RotationFixture f;
    test::CameraExif camera;
    camera.width = 64;
    camera.height = 48;
    const QString a = f.folder.filePath(QStringLiteral("a.jpg"));
    const QString b = f.folder.filePath(QStringLiteral("b.jpg"));
    f.folder.writeBytes(
        QStringLiteral("a.jpg"),
        test::withMarkers(TJPEGImage::encode(PictureFolder::pattern(64, 48, 1), 90), {{0xe1, test::makeExif(camera)}}));
    f.folder.writeJpeg(QStringLiteral("b.jpg"), 64, 48, 2);
    const QByteArray bBefore = bytesOf(b);

    // Turn a.jpg and close only the rotation window; the main window then
    // selects b.jpg (a thumbnail click and the zoom window; the folder is
    // the current one there, so it is named in full here).
    f.open(QStringLiteral("a.jpg"));
    f.form.show();
    control<QAction>(f.form, "N2")->trigger();
    TdispForm* result = f.form.dispForm();
    f.form.close();
    EXPECT_TRUE(result->isVisible()) << "the result window stays open";
    f.selection.SelectedPicture = FilePath(b);
    EXPECT_EQ(result->source().text(), a);

    // Save as takes the EXIF of the picture turned, not of the selection.
    result->setSaveNameAsker([&](QFileDialog&) { return f.folder.filePath(QStringLiteral("copy.jpg")); });
    result->FileMenuSaveClick();
    bool exif = false;
    for (const JpegMarker& segment : test::segmentsBeforeScan(bytesOf(f.folder.filePath(QStringLiteral("copy.jpg")))))
        exif = exif || (segment.code == 0xe1 && segment.payload.startsWith(QByteArray("Exif\0\0", 6)));
    EXPECT_TRUE(exif) << "the copy carries a.jpg's EXIF";

    result->show();
    CapturedErrors errors;
    result->FileMenuCloseClick();
    EXPECT_TRUE(errors.messages.isEmpty());
    EXPECT_EQ(bytesOf(b), bBefore) << "b.jpg is untouched";
    TBitmap back;
    ASSERT_TRUE(loadPicture(FilePath(a), back));
    EXPECT_EQ(back.width(), 48) << "a.jpg holds its turn";
    EXPECT_EQ(back.height(), 64);
}

TEST(RotationWindow, EscapeThrowsNothingAway)
{
    RotationFixture f;
    f.folder.writeJpeg(QStringLiteral("a.jpg"), 64, 48, 9);
    int closes = 0;
    f.form.setOnClose([&] { ++closes; });
    TdispForm* result = f.form.dispForm();

    // Opened as the main window opens it, modally; Esc is pressed in it,
    // then in the result window beside it.
    f.selection.SelectedPicture = FilePath(f.folder.filePath(QStringLiteral("a.jpg")));
    bool checked = false;
    QTimer::singleShot(0, [&] {
        activate(&f.form);
        QTest::keyClick(&f.form, Qt::Key_Escape);
        QTest::keyClick(control<QScrollArea>(f.form, "ScrollBox1"), Qt::Key_Escape);
        EXPECT_TRUE(f.form.isVisible()) << "Esc leaves the rotation window open";
        EXPECT_EQ(closes, 0);
        control<QAction>(f.form, "N2")->trigger();
        const QImage shown = result->result().image();
        activate(result);
        QTest::keyClick(result, Qt::Key_Escape);
        QTest::keyClick(control<QScrollArea>(*result, "ScrollBox"), Qt::Key_Escape);
        EXPECT_TRUE(result->isVisible()) << "Esc leaves the result window open";
        EXPECT_FALSE(shown.isNull());
        EXPECT_EQ(result->result().image(), shown) << "and its result as it was";
        EXPECT_EQ(control<CanvasImage>(*result, "ResultImage")->canvas().image(), shown);
        checked = true;
        // The close boxes still close both.
        result->close();
        EXPECT_FALSE(result->isVisible());
        f.form.close();
    });
    f.form.ShowModal();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(f.form.isVisible());
    EXPECT_EQ(closes, 1);
}

TEST(RotationWindow, OpensInTheMiddleOfTheMainWindowAndTellsOverIt)
{
    QWidget mainWindow;
    mainWindow.setGeometry(300, 200, 420, 330);
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    RotationFixture f;
    f.folder.writeBytes(QStringLiteral("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 cut", 8));
    f.folder.writeJpeg(QStringLiteral("other.jpeg"), 64, 48, 4);
    f.folder.writeJpeg(QStringLiteral("fine.jpg"), 64, 48, 5);
    f.form.setCentreOn(&mainWindow);

    auto openModally = [&](const QString& name) {
        f.selection.SelectedPicture = FilePath(f.folder.filePath(name));
        QRect frame;
        QTimer::singleShot(0, [&] {
            frame = f.form.frameGeometry();
            f.form.close();
        });
        f.form.ShowModal();
        return frame;
    };
    for (const QString& name : {QStringLiteral("fine.jpg"), QStringLiteral("broken.jpg")}) {
        SCOPED_TRACE(name.toStdString());
        CapturedErrors errors;
        const QRect frame = openModally(name);
        EXPECT_LE((frame.center() - mainWindow.frameGeometry().center()).manhattanLength(), 2)
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    }

    // Each opening message appears over the shown window, with the default cursor.
    {
        MessageWatch watch(f.form);
        openModally(QStringLiteral("broken.jpg"));
        ASSERT_EQ(watch.seen.size(), 2);
        EXPECT_EQ(watch.seen[0].text, QStringLiteral("画像ファイルが24ビットbmpでありません."));
        EXPECT_TRUE(watch.seen[1].text.contains(QStringLiteral("broken.jpg"))) << "the preview's failure";
        for (const SeenMessage& message : watch.seen) {
            EXPECT_TRUE(message.windowVisible) << message.text.toStdString();
            EXPECT_FALSE(message.hourglass) << message.text.toStdString();
        }
    }
    {
        MessageWatch watch(f.form);
        openModally(QStringLiteral("other.jpeg"));
        ASSERT_EQ(watch.seen.size(), 1);
        EXPECT_TRUE(watch.seen[0].text.contains(QStringLiteral(".jpeg")));
        EXPECT_TRUE(watch.seen[0].windowVisible);
        EXPECT_FALSE(watch.seen[0].hourglass);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A rotation window with a parent is centred on its parent's window.
    Selection selection;
    selection.SelectedPicture = FilePath(f.folder.filePath(QStringLiteral("fine.jpg")));
    TForm7 child(selection, &mainWindow);
    QRect frame;
    QTimer::singleShot(0, [&] {
        frame = child.frameGeometry();
        child.close();
    });
    child.ShowModal();
    EXPECT_LE((frame.center() - mainWindow.frameGeometry().center()).manhattanLength(), 2);
}

TEST(RotationWindow, APictureWithAlphaIsShownAndHeldInItsStoredColours)
{
    // A 32-bit BMP whose columns have alpha 0, 128 and 255: each shows its
    // stored colour in the preview and in the picture held for turning.
    RotationFixture f;
    constexpr std::array<std::uint32_t, 3> kAlpha{0, 128, 255};
    constexpr std::array<QRgb, 3> kColour{qRgb(200, 100, 50), qRgb(10, 220, 130), qRgb(90, 60, 250)};
    test::BmpLayout layout{.width = 3,
                           .height = 4,
                           .bitCount = 32,
                           .compression = test::kBiBitFields,
                           .masks = {0x00ff0000, 0x0000ff00, 0x000000ff},
                           .alphaMask = 0xff000000};
    std::vector<std::vector<std::uint32_t>> rows(4);
    for (auto& row : rows)
        for (std::size_t x = 0; x < 3; ++x)
            row.push_back(kAlpha[x] << 24 | (kColour[x] & 0xffffff));
    f.folder.writeBytes(QStringLiteral("alpha.bmp"), test::makeBmp(layout, test::packRows(layout, rows)));
    f.open(QStringLiteral("alpha.bmp"));
    ASSERT_TRUE(f.form.pixelImage()->Is24Bit());
    for (std::uint32_t x = 0; x < 3; ++x) {
        SCOPED_TRACE(kAlpha[x]);
        EXPECT_EQ(f.preview().pixel(int(x), 1), kColour[x]);
        EXPECT_EQ(f.form.pixelImage()->RedAt(x, 1), qRed(kColour[x]));
        EXPECT_EQ(f.form.pixelImage()->GreenAt(x, 1), qGreen(kColour[x]));
        EXPECT_EQ(f.form.pixelImage()->BlueAt(x, 1), qBlue(kColour[x]));
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
    EXPECT_TRUE(control<QScrollArea>(*result, "ScrollBox")->verticalScrollBar()->isVisible())
        << "a result taller than the window scrolls";
    EXPECT_GT(control<QScrollArea>(*result, "ScrollBox")->verticalScrollBar()->maximum(), 0);
    const TBitmap right = turned(*f.form.pixelImage(), 270.0f);
    EXPECT_EQ(result->result().image(), right.image());
    EXPECT_EQ(result->result().width(), 480);
    EXPECT_EQ(control<CanvasImage>(*result, "ResultImage")->canvas().image(), right.image());

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
    control<QMenu>(*result, "FileMenu")->popup(result->mapToGlobal(QPoint(0, 0)));
    activate(result);
    control<QMenu>(*result, "FileMenu")->close();
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

    EXPECT_EQ(control<QMenu>(*result, "FileMenu")->title(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(control<QAction>(*result, "FileMenuSave")->text(), QStringLiteral("別名で保存(&A)"));
    EXPECT_EQ(control<QAction>(*result, "FileMenuClose")->text(), QStringLiteral("上書き保存(&S)"));
    EXPECT_EQ(control<QAction>(*result, "C1")->text(), QStringLiteral("閉じる(&C)"));
    QStringList filters = control<QFileDialog>(*result, "SavePictureDialog1")->nameFilters();
    ASSERT_EQ(filters.size(), 2);
    EXPECT_TRUE(filters[0].startsWith(QStringLiteral("画像ファイル(*.jpg;*.bmp)")));
    EXPECT_TRUE(filters[1].startsWith(QStringLiteral("全ファイル(*.*)")));
    EXPECT_EQ(control<QFileDialog>(*result, "SavePictureDialog1")->selectedNameFilter(),
              QStringLiteral("画像ファイル(*.jpg;*.bmp)"))
        << "the first is chosen, shown by its name alone";
    EXPECT_TRUE(control<QFileDialog>(*result, "SavePictureDialog1")->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_FALSE(control<QFileDialog>(*result, "SavePictureDialog1")->testOption(QFileDialog::DontConfirmOverwrite));

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

TEST(ResultWindow, TellsTheRotationWindowItClosedButNotWhenHiddenForANewTurn)
{
    RotationFixture f;
    f.folder.writeJpeg(QStringLiteral("a.jpg"), 64, 48, 9);
    f.open(QStringLiteral("a.jpg"));
    f.form.show();
    TdispForm* result = f.form.dispForm();
    QSignalSpy closed(result, &TdispForm::closed);
    f.form.N2Click();
    f.form.N3Click();
    EXPECT_EQ(closed.count(), 0) << "hiding it for a new turn is no closing";

    // Closing reloads the picture without any window taking the focus.
    f.folder.writeJpeg(QStringLiteral("a.jpg"), 30, 20, 1);
    result->C1Click();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.form.statusText() == QStringLiteral("サイズ＝30*20"); }, 2000))
        << f.form.statusText().toStdString();
    f.form.close();
}
