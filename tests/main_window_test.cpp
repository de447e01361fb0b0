#include "common/ErrorReport.h"
#include "browser/ExtentListBox.h"
#include "browser/FileListBox.h"
#include "browser/MountList.h"
#include "browser/PageFiller.h"
#include "browser/TForm1.h"
#include "common/Selection.h"
#include "common/CanvasImage.h"
#include "browser/ThumbLabel.h"
#include "comments/CommentMemo.h"
#include "comments/TForm4.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureLoader.h"
#include "support/CapturedErrors.h"
#include "support/Controls.h"
#include "support/ModalWatcher.h"
#include "support/PictureFolder.h"
#include "support/WindowShot.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::CapturedErrors;

namespace {

const QRgb kSilver = qRgb(192, 192, 192);

bool isSilver(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kSilver)
                return false;
    return true;
}

struct ButtonView {
    bool previous, next, back50Visible, forward50Visible;
    bool operator==(const ButtonView&) const = default;
};

ButtonView buttonsOf(const TForm1& form)
{
    const auto button = [&form](const char* name) { return control<QPushButton>(form, name); };
    return {button("BitBtn1")->isEnabled(), button("BitBtn2")->isEnabled(), !button("BitBtn5")->isHidden(),
            !button("BitBtn3")->isHidden()};
}

} // namespace

TEST(MainWindow, LayoutCaptionsAndJapaneseText)
{
    Selection selection;
    TForm1 form(selection);
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("ザヴィオ\u3000Ver 2.40 ")));
    EXPECT_EQ(form.size(), QSize(856, 620));
    EXPECT_EQ(control<QPushButton>(form, "BitBtn1")->text(), QStringLiteral("前へ"));
    EXPECT_EQ(control<QPushButton>(form, "BitBtn2")->text(), QStringLiteral("次へ"));
    EXPECT_EQ(control<QPushButton>(form, "BitBtn5")->text(), QStringLiteral("50前へ"));
    EXPECT_EQ(control<QPushButton>(form, "BitBtn3")->text(), QStringLiteral("５０次へ"));
    EXPECT_EQ(control<QPushButton>(form, "BitBtn4")->text(), QStringLiteral("操作説明"));
    EXPECT_EQ(control<QCheckBox>(form, "CheckBox1")->text(), QStringLiteral("コメント処理"));
    EXPECT_EQ(control<QCheckBox>(form, "CheckBox2")->text(), QStringLiteral("９０度回転"));
    EXPECT_FALSE(control<QPushButton>(form, "BitBtn1")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(form, "BitBtn2")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(form, "BitBtn3")->isHidden());
    EXPECT_TRUE(control<QPushButton>(form, "BitBtn5")->isHidden());
    EXPECT_EQ(control<CanvasImage>(form, "Image7")->geometry(), QRect(290, 200, 131, 101));
    EXPECT_EQ(control<ThumbLabel>(form, "Label20")->geometry(), QRect(710, 590, 131, 14));
    EXPECT_EQ(control<FileListBox>(form, "FileListBox1")->geometry(), QRect(10, 410, 131, 191));
    EXPECT_EQ(control<ThumbLabel>(form, "Label1")->palette().color(QPalette::WindowText), QColor(128, 0, 128));

    // A Japanese font is really there: the captions cannot come out as boxes.
    const QFontMetrics metrics(control<QPushButton>(form, "BitBtn4")->font());
    for (QChar ch : QStringLiteral("操作説明ファイル数ザヴィオ５０"))
        EXPECT_TRUE(metrics.inFont(ch)) << int(ch.unicode());
    EXPECT_EQ(QFontInfo(form.font()).pixelSize(), 15);

    // Qt's standard buttons speak Japanese.
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("はい")));
    EXPECT_TRUE(box.button(QMessageBox::No)->text().contains(QStringLiteral("いいえ")));
    EXPECT_TRUE(box.button(QMessageBox::Cancel)->text().contains(QStringLiteral("キャンセル")));
}

TEST(MainWindow, CountAndButtonsFollowThePictureCount)
{
    struct Case {
        int pictures;
        ButtonView buttons;
        int listPosition, cellNumber, filled;
    };
    const Case cases[] = {
        {0, {false, false, false, false}, 1, 1, 0},     {7, {false, false, false, false}, 8, 8, 7},
        {19, {false, false, false, false}, 20, 20, 19}, {20, {true, true, false, false}, 20, 1, 20},
        {98, {true, true, false, false}, 20, 1, 20},    {99, {true, true, true, true}, 20, 1, 20},
    };
    for (const Case& c : cases) {
        fixtures::PictureFolder folder;
        folder.writeNumberedJpegs(c.pictures, QStringLiteral("pic"), 8, 6);
        folder.writeBytes(QStringLiteral("readme.txt"), "ignored");
        Selection selection;
        TForm1 form(selection);
        form.openFolder(folder.path());
        EXPECT_EQ(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = %1").arg(c.pictures));
        EXPECT_EQ(buttonsOf(form), c.buttons) << c.pictures;
        EXPECT_TRUE(control<QPushButton>(form, "BitBtn3")->isEnabled()
                    || control<QPushButton>(form, "BitBtn3")->isHidden());
        EXPECT_EQ(form.counters().ListPosition, c.listPosition) << c.pictures;
        EXPECT_EQ(form.counters().CellNumber, c.cellNumber) << c.pictures;
        EXPECT_EQ(form.counters().PictureCount, c.pictures);
        for (int n = 1; n <= kCellsPerPage; ++n) {
            const bool filled = n <= c.filled;
            EXPECT_EQ(form.cellCaption(n).isEmpty(), !filled) << c.pictures << " cell " << n;
            EXPECT_EQ(isSilver(form.cellImage(n)), !filled) << c.pictures << " cell " << n;
        }
        if (c.filled > 0) {
            EXPECT_EQ(form.cellCaption(1), QStringLiteral("pic001.jpg"));
        }
    }
}

TEST(MainWindow, MixedCaseExtensionsAreCountedAndShown)
{
    fixtures::PictureFolder folder;
    folder.writeJpeg(QStringLiteral("a.Jpg"), 20, 10, 1);
    folder.writeBmp(QStringLiteral("b.bMp"), 20, 10, 2);
    folder.writeJpeg(QStringLiteral("c.JPEG"), 20, 10, 3);
    folder.writeJpeg(QStringLiteral("d.jpg"), 20, 10, 4);
    Selection selection;
    TForm1 form(selection);
    form.openFolder(folder.path());
    EXPECT_EQ(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = 4"));
    EXPECT_EQ(form.cellCaption(4), QStringLiteral("d.jpg")) << "the last picture must be reachable";
    EXPECT_EQ(form.counters().ListPosition, 5);
}

TEST(MainWindow, BrokenPicturesAreMarkedAndReportedOncePerFill)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(10, QStringLiteral("pic"), 24, 18);
    folder.writeBytes(QStringLiteral("pic004.jpg"), QByteArray("\xff\xd8\xff\xe0 truncated", 15));
    folder.writeBytes(QStringLiteral("pic007.jpg"), QByteArray());
    // A pipe under a picture's name would block a reader that waited on it.
    ASSERT_TRUE(QFile::remove(folder.filePath(QStringLiteral("pic009.jpg"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("pic009.jpg"))).constData(), 0644), 0);
    CapturedErrors errors;
    Selection selection;
    TForm1 form(selection);
    form.openFolder(folder.path());

    // One report for the page, naming each picture with its own reason.
    ASSERT_EQ(errors.messages.size(), 1);
    const QString& report = errors.messages[0];
    for (const char* name : {"pic004.jpg", "pic007.jpg", "pic009.jpg"})
        EXPECT_TRUE(report.contains(QString::fromLatin1(name))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("0 バイト"))) << "the zero-byte file says so";
    EXPECT_TRUE(report.contains(QStringLiteral("通常のファイルではありません"))) << "the pipe says so";

    // Every picture keeps its cell and name; the broken ones show the mark.
    const QImage mark = brokenPictureCell(131, 101).image();
    EXPECT_EQ(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = 10"));
    EXPECT_EQ(form.counters().ListPosition, 11);
    EXPECT_EQ(form.counters().CellNumber, 11);
    for (int n = 1; n <= kCellsPerPage; ++n) {
        const bool broken = n == 4 || n == 7 || n == 9;
        EXPECT_EQ(form.cellCaption(n).isEmpty(), n > 10) << n;
        EXPECT_EQ(form.cellImage(n) == mark, broken) << n;
        EXPECT_EQ(form.cellError(n).isEmpty(), !broken) << n;
        EXPECT_EQ(isSilver(form.cellImage(n)), n > 10) << n;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass is gone after the fill";

    // A file that vanished after the listing is reported the same way, and
    // the cells before and after it are drawn.
    ASSERT_TRUE(QFile::remove(folder.filePath(QStringLiteral("pic002.jpg"))));
    form.counters().ListPosition = 1;
    form.counters().CellNumber = 1;
    const std::vector<PageFailure> failures = form.FillPage();
    ASSERT_EQ(failures.size(), 4u);
    EXPECT_EQ(failures[0].cell, 2);
    EXPECT_TRUE(failures[0].message.contains(QStringLiteral("見つかりません")));
    EXPECT_FALSE(isSilver(form.cellImage(3)));
    EXPECT_EQ(form.counters().ListPosition, 11);
}

TEST(MainWindow, SelectingAFileRedrawsTheFirstPage)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(45, QStringLiteral("pic"), 8, 6);
    Selection selection;
    TForm1 form(selection);
    form.openFolder(folder.path());
    form.counters().ListPosition = 20;
    form.counters().CellNumber = 1;
    form.FillPage();
    ASSERT_EQ(form.cellCaption(1), QStringLiteral("pic020.jpg"));

    control<FileListBox>(form, "FileListBox1")->setCurrentRow(30);
    EXPECT_EQ(form.cellCaption(1), QStringLiteral("pic001.jpg"));
    EXPECT_EQ(form.counters().ListPosition, 20);

    // Selecting the item that is already selected changes nothing.
    form.counters().ListPosition = 33;
    control<FileListBox>(form, "FileListBox1")->setCurrentRow(30);
    EXPECT_EQ(form.counters().ListPosition, 33);
}

TEST(MainWindow, FolderListNavigatesAndTheCurrentFolderFollows)
{
    fixtures::PictureFolder folder;
    QDir root(folder.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("sub/deeper")));
    ASSERT_TRUE(root.mkdir(QStringLiteral("another")));
    ASSERT_TRUE(root.mkdir(QStringLiteral(".hidden")));
    folder.writeJpeg(QStringLiteral("top.jpg"), 20, 10);
    folder.writeJpeg(QStringLiteral("sub/inner1.jpg"), 20, 10, 1);
    folder.writeBmp(QStringLiteral("sub/inner2.bmp"), 20, 10, 2);

    Selection selection;
    TForm1 form(selection);
    form.openFolder(folder.path());
    const QString canonical = QDir(folder.path()).canonicalPath();
    EXPECT_EQ(QDir::currentPath(), canonical);
    QStringList expected{QStringLiteral("/")};
    expected += canonical.split(u'/', Qt::SkipEmptyParts);
    expected += QStringList({"another", "sub"});
    EXPECT_EQ(form.folderListItems(), expected);
    EXPECT_EQ(control<ExtentListBox>(form, "DirectoryListBox1")->currentRow(), int(expected.size()) - 3);
    EXPECT_EQ(form.fileListItems(), QStringList({"top.jpg"}));

    // Enter on "sub" opens it: the lists, the count and the page follow.
    control<ExtentListBox>(form, "DirectoryListBox1")->setCurrentRow(int(expected.size()) - 1);
    control<ExtentListBox>(form, "DirectoryListBox1")->setFocus();
    QTest::keyClick(control<ExtentListBox>(form, "DirectoryListBox1"), Qt::Key_Return);
    EXPECT_EQ(QDir::currentPath(), canonical + QStringLiteral("/sub"));
    EXPECT_EQ(form.fileListItems(), QStringList({"inner1.jpg", "inner2.bmp"}));
    EXPECT_EQ(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = 2"));
    EXPECT_EQ(form.cellCaption(2), QStringLiteral("inner2.bmp"));
    EXPECT_EQ(form.folderListItems().last(), QStringLiteral("deeper"));

    // Extents follow the text widths with their margins.
    FileListBox* files = control<FileListBox>(form, "FileListBox1");
    std::vector<int> fileWidths{files->textWidth(0), files->textWidth(1)};
    int running = 0;
    for (int w : fileWidths)
        if (w > running)
            running = w + 20;
    EXPECT_EQ(form.fileListExtent(), running + 6);
    EXPECT_GT(form.folderListExtent(), 6);

    // The drive box lists the root; choosing the drive already shown changes
    // nothing: no re-read, no first page.
    const int rootEntry = control<QComboBox>(form, "DriveComboBox1")->findData(QStringLiteral("/"));
    ASSERT_GE(rootEntry, 0);
    if (mountPointOf(canonical, userMountPoints()) == QStringLiteral("/")) {
        form.counters().ListPosition = 7;
        emit control<QComboBox>(form, "DriveComboBox1")->activated(rootEntry);
        EXPECT_EQ(QDir::currentPath(), canonical + QStringLiteral("/sub"));
        EXPECT_EQ(form.counters().ListPosition, 7);
    }
    CapturedErrors errors;
    form.openFolder(folder.filePath(QStringLiteral("does-not-exist")));
    EXPECT_EQ(errors.messages.size(), 1);
    EXPECT_EQ(QDir::currentPath(), canonical + QStringLiteral("/sub")) << "a failed open keeps the folder";
}

TEST(MainWindow, ControlsAreReachableByAssistiveTechnology)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(2, QStringLiteral("pic"), 8, 6);
    Selection selection;
    TForm1 form(selection);
    form.openFolder(folder.path());
    form.show();

    auto nameOf = [](QObject* object) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
        return face ? face->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    QAccessibleInterface* image = QAccessible::queryAccessibleInterface(control<CanvasImage>(form, "Image2"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->role(), QAccessible::Graphic);
    EXPECT_EQ(nameOf(control<CanvasImage>(form, "Image2")), QStringLiteral("pic002.jpg"));
    EXPECT_EQ(nameOf(control<CanvasImage>(form, "Image3")), QString()) << "an empty cell has no name";
    EXPECT_EQ(nameOf(control<QPushButton>(form, "BitBtn4")), QStringLiteral("操作説明"));
    EXPECT_EQ(nameOf(control<QCheckBox>(form, "CheckBox2")), QStringLiteral("９０度回転"));
    EXPECT_EQ(nameOf(control<QLabel>(form, "Label21")), QStringLiteral("ファイル数 = 2"));

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(control<FileListBox>(form, "FileListBox1"));
    ASSERT_NE(list, nullptr);
    QStringList items;
    for (int i = 0; i < list->childCount(); ++i)
        items.append(list->child(i)->text(QAccessible::Name));
    EXPECT_TRUE(items.contains(QStringLiteral("pic001.jpg"))) << items.join(u',').toStdString();
}

TEST(MainWindow, DrawsAPageOfVariedPictures)
{
    // Pictures of every band of the fit, under Japanese and Latin names.
    fixtures::PictureFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("旅行の写真")));
    const int sizes[][2] = {{320, 240}, {400, 200}, {240, 320}, {300, 300}, {384, 216}, {216, 384}};
    const QStringList names{"IMG_0001.JPG", "IMG_0002.JPG", "さくら.jpg",
                            "IMG_0004.JPG", "家族写真.bmp", "旅行_京都.jpeg"};
    for (int i = 0; i < 23; ++i) {
        const QString name =
            QStringLiteral("旅行の写真/") + (i < names.size() ? names[i] : QStringLiteral("写真%1.jpg").arg(i + 100));
        const auto& size = sizes[i % 6];
        if (name.endsWith(QStringLiteral(".bmp")))
            folder.writeBmp(name, size[0], size[1], i);
        else
            folder.writeJpeg(name, size[0], size[1], i);
    }
    Selection selection;
    TForm1 form(selection);
    form.openFolder(folder.filePath(QStringLiteral("旅行の写真")));
    EXPECT_EQ(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = 23"));
    EXPECT_TRUE(control<QPushButton>(form, "BitBtn1")->isEnabled()
                && control<QPushButton>(form, "BitBtn2")->isEnabled());

    int squareCell = 0;
    for (int n = 1; n <= kCellsPerPage; ++n) {
        const QString name = form.cellCaption(n);
        ASSERT_FALSE(name.isEmpty());
        EXPECT_FALSE(isSilver(form.cellImage(n))) << name.toStdString();
        if (name == QStringLiteral("IMG_0004.JPG"))
            squareCell = n;
    }
    // The square picture is drawn from x = 5 on: its cell's left margin stays silver.
    ASSERT_GT(squareCell, 0);
    const QImage square = form.cellImage(squareCell);
    for (int y = 0; y < square.height(); ++y) {
        EXPECT_EQ(square.pixel(4, y), kSilver);
        EXPECT_NE(square.pixel(5, y), kSilver);
    }
    if (const QString shots = qEnvironmentVariable("ZAVIO_SHOTS"); !shots.isEmpty()) {
        form.show();
        fixtures::saveWindowShot(&form, shots + QStringLiteral("/main-window.png"));
    }
}

TEST(MainWindow, OnlyARealChangeOfSelectedFileRedrawsTheFirstPage)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(45, QStringLiteral("pic"), 8, 6);
    Selection selection;
    TForm1 form(selection);
    form.show();
    form.openFolder(folder.path());
    auto leavePageTwo = [&] {
        control<QPushButton>(form, "BitBtn2")->click();
        ASSERT_EQ(form.cellCaption(1), QStringLiteral("pic020.jpg"));
    };
    leavePageTwo();

    // Tab onto the list makes an item current but selects nothing.
    control<QPushButton>(form, "BitBtn5")->setFocus();
    control<FileListBox>(form, "FileListBox1")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(&form, Qt::Key_Tab);
    EXPECT_EQ(control<FileListBox>(form, "FileListBox1")->selectedRow(), -1);
    EXPECT_EQ(form.cellCaption(1), QStringLiteral("pic020.jpg"));

    // A right click neither selects nor redraws.
    const QRect third = control<FileListBox>(form, "FileListBox1")->visualItemRect(2);
    QTest::mouseClick(control<FileListBox>(form, "FileListBox1")->viewport(), Qt::RightButton, {}, third.center());
    EXPECT_EQ(control<FileListBox>(form, "FileListBox1")->selectedRow(), -1);
    EXPECT_EQ(form.cellCaption(1), QStringLiteral("pic020.jpg"));

    // A left click selects and draws the first page.
    QTest::mouseClick(control<FileListBox>(form, "FileListBox1")->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(control<FileListBox>(form, "FileListBox1")->selectedRow(), 2);
    EXPECT_EQ(form.cellCaption(1), QStringLiteral("pic001.jpg"));
    leavePageTwo();

    // Ctrl+click on the selected file keeps it selected and changes nothing.
    QTest::mouseClick(control<FileListBox>(form, "FileListBox1")->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      third.center());
    EXPECT_EQ(control<FileListBox>(form, "FileListBox1")->selectedRow(), 2);
    EXPECT_EQ(form.cellCaption(1), QStringLiteral("pic020.jpg"));
    // Nor does a second plain click on it.
    QTest::mouseClick(control<FileListBox>(form, "FileListBox1")->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(form.cellCaption(1), QStringLiteral("pic020.jpg"));
}

TEST(MainWindow, F5ReadsTheFolderAgainAndTheCountLabelHasItsSizeFromTheStart)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(3, QStringLiteral("pic"), 8, 6);
    Selection selection;
    TForm1 form(selection);
    EXPECT_EQ(control<QLabel>(form, "Label21")->geometry(), QRect(10, 20, 49, 15)) << "laid out before the first count";
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.openFolder(folder.path());
    ASSERT_EQ(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = 3"));

    folder.writeNumberedJpegs(5, QStringLiteral("pic"), 8, 6);
    ASSERT_TRUE(QFile::remove(folder.filePath(QStringLiteral("pic001.jpg"))));
    QTest::keyClick(&form, Qt::Key_F5);
    EXPECT_EQ(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = 4"));
    EXPECT_EQ(form.fileListItems(), QStringList({"pic002.jpg", "pic003.jpg", "pic004.jpg", "pic005.jpg"}));
    EXPECT_EQ(form.cellCaption(4), QStringLiteral("pic005.jpg"));
}

TEST(MainWindow, PaintsItselfBeforeTheFirstPageAndSaysWhenItIsClosed)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(3, QStringLiteral("pic"), 8, 6);
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));

    Selection selection;
    TForm1 form(selection);
    form.setDecodeThreads(1);
    // Paints of the window's cells, counted as they reach the screen.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    control<CanvasImage>(form, "Image20")->installEventFilter(&counter);
    int paintsBeforeFirstDecode = -1;
    form.setThumbnailRenderer([&](const FilePath& path, int w, int h, TBitmap& scratch) {
        if (paintsBeforeFirstDecode < 0)
            paintsBeforeFirstDecode = counter.paints;
        return renderThumbnailCell(path, w, h, scratch);
    });
    form.show();
    QTRY_COMPARE(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = 3"));
    EXPECT_GT(paintsBeforeFirstDecode, 0) << "the cells were drawn before the first picture was decoded";
    EXPECT_EQ(selection.folder(), FilePath(QDir(folder.path()).canonicalPath()));

    QSignalSpy closed(&form, &TForm1::closed);
    form.close();
    EXPECT_EQ(closed.count(), 1);
    QDir::setCurrent(started);
}

TEST(MainWindow, NamesThatAreNotUtf8AreListedShownAndOpenedByTheirBytes)
{
    fixtures::PictureFolder folder;
    const QByteArray root = QFile::encodeName(folder.path()) + '/';
    // "あ.jpg" as Shift-JIS bytes, and a name that is neither UTF-8 nor Shift-JIS.
    const QByteArray shiftJis("\x82\xa0.jpg");
    const QByteArray garbled("\xff\xfe"
                             "x.jpg");
    const QByteArray jpeg = TJPEGImage::encode(fixtures::PictureFolder::pattern(30, 20, 4));
    for (const QByteArray& name : {shiftJis, garbled}) {
        const int fd = ::open((root + name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, jpeg.constData(), size_t(jpeg.size())), jpeg.size());
        ::close(fd);
    }
    folder.writeJpeg(QStringLiteral("b.jpg"), 30, 20, 1);

    Selection selection;
    TForm1 form(selection);
    int zoomOpenings = 0;
    FilePath opened;
    form.setOpeners({.zoom = [&] {
        ++zoomOpenings;
        opened = selection.picturePath();
    }});
    form.openFolder(folder.path());
    EXPECT_EQ(control<QLabel>(form, "Label21")->text(), QStringLiteral("ファイル数 = 3")) << "every file is counted";
    EXPECT_EQ(form.fileListItems(),
              QStringList({QStringLiteral("b.jpg"), QStringLiteral("あ.jpg"), QStringLiteral("\uFFFD\uFFFDx.jpg")}));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(form.cellError(n).isEmpty()) << form.cellError(n).toStdString();
        EXPECT_FALSE(isSilver(form.cellImage(n))) << n;
    }
    QTest::mouseClick(control<CanvasImage>(form, "Image2"), Qt::LeftButton);
    EXPECT_EQ(zoomOpenings, 1);
    EXPECT_EQ(selection.SelectedPicture.text(), QStringLiteral("あ.jpg"));
    EXPECT_EQ(selection.SelectedPicture.native(), shiftJis);
    EXPECT_TRUE(opened.native().endsWith('/' + shiftJis));
    TBitmap picture;
    EXPECT_TRUE(loadPicture(opened, picture));
    EXPECT_EQ(picture.width(), 30);
    // Qt cannot name these files, so the folder's clean-up would leave them behind.
    for (const QByteArray& name : {shiftJis, garbled})
        ::unlink((root + name).constData());
}

TEST(MainWindow, AClickOnABrokenCellOpensNothingAndTellsItsError)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(3, QStringLiteral("pic"), 8, 6);
    folder.writeBytes(QStringLiteral("pic002.jpg"), QByteArray("\xff\xd8 cut", 6));
    Selection selection;
    TForm1 form(selection);
    int zoomOpenings = 0;
    form.setOpeners({.zoom = [&] { ++zoomOpenings; }});
    CapturedErrors errors;
    form.openFolder(folder.path());
    ASSERT_EQ(errors.messages.size(), 1);
    QTest::mouseClick(control<CanvasImage>(form, "Image2"), Qt::LeftButton);
    EXPECT_EQ(zoomOpenings, 0);
    ASSERT_EQ(errors.messages.size(), 2);
    EXPECT_EQ(errors.messages[1], form.cellError(2));
    EXPECT_TRUE(errors.messages[1].contains(QStringLiteral("pic002.jpg")));
    QTest::mouseClick(control<CanvasImage>(form, "Image3"), Qt::LeftButton);
    EXPECT_EQ(zoomOpenings, 1);
}

// In comment mode a click in the file list writes the comment under the
// clicked picture's name, also right after an editor has closed (which empties
// the key) and right after the viewer left another picture's name behind.
TEST(MainWindow, AFileListClickInCommentModeWritesTheCommentOfTheClickedPicture)
{
    fixtures::PictureFolder folder;
    folder.writeNumberedJpegs(3, QStringLiteral("pic"), 8, 6);
    Selection selection;
    TForm1 form(selection);
    TForm4 editor(selection);
    editor.setOnClose([&] {
        control<QCheckBox>(form, "CheckBox1")->setChecked(false);
        control<QCheckBox>(form, "CheckBox2")->setChecked(false);
    });
    int viewings = 0;
    form.setOpeners({.commentViewer = [&] { ++viewings; }, .commentEditor = [&] { editor.ShowModal(); }});
    form.openFolder(folder.path());
    form.show();
    QStringList titles;
    fixtures::ModalWatcher watcher([&](QWidget*) {
        titles.append(editor.windowTitle());
        QTest::keyClicks(control<CommentMemo>(editor, "Memo1"), QStringLiteral("abc"));
        control<QPushButton>(editor, "Button1")->click();
    });
    auto clickFile = [&](int row) {
        const QRect item = control<FileListBox>(form, "FileListBox1")->visualItemRect(row);
        QTest::mouseClick(control<FileListBox>(form, "FileListBox1")->viewport(), Qt::LeftButton, {}, item.center());
    };

    control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    QTest::mouseClick(control<ThumbLabel>(form, "Label1"), Qt::LeftButton);
    control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    clickFile(1);
    QTest::mouseClick(control<ThumbLabel>(form, "Label1"), Qt::LeftButton); // the viewer, on pic001.jpg
    EXPECT_EQ(viewings, 1);
    control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    clickFile(2);
    EXPECT_EQ(titles, QStringList(3, QStringLiteral("コメント作成\u3000")));
    QFile comments(folder.filePath(QStringLiteral("coment.txt")));
    ASSERT_TRUE(comments.open(QIODevice::ReadOnly));
    EXPECT_EQ(comments.readAll(),
              QByteArray("pic001.jpg\r\nabc\x0e"
                         "pic002.jpg\r\nabc\x0e"
                         "pic003.jpg\r\nabc\x0e"));
    EXPECT_FALSE(control<QCheckBox>(form, "CheckBox1")->isChecked());
}
