#include "browser/ExtentListBox.h"
#include "browser/FileListBox.h"
#include "browser/TForm1.h"
#include "browser/ThumbLabel.h"
#include "common/Selection.h"
#include "support/Controls.h"
#include "support/PictureFolder.h"

#include <QCheckBox>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;

namespace {

// A main window on three pictures whose openers record which window each
// click opened and what the selection held then.
struct RoutedWindow {
    fixtures::PictureFolder folder;
    Selection selection;
    TForm1 form{selection};
    QStringList opened;

    RoutedWindow()
    {
        folder.writeNumberedJpegs(3, QStringLiteral("pic"), 8, 6);
        auto record = [this](const char* window) {
            return [this, window] {
                opened.append(QString::fromLatin1(window) + u' ' + selection.SelectedPicture.text() + u' '
                              + selection.SelectedCommentKey.text());
            };
        };
        form.setOpeners({.zoom = record("zoom"),
                         .commentViewer = record("viewer"),
                         .commentEditor = record("editor"),
                         .rotation = record("rotation")});
        form.openFolder(folder.path());
        form.show();
    }
    void clickLabel(int n)
    {
        QTest::mouseClick(control<ThumbLabel>(form, QStringLiteral("Label%1").arg(n)), Qt::LeftButton);
    }
    void clickFile(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        const QRect item = control<FileListBox>(form, "FileListBox1")->visualItemRect(row);
        QTest::mouseClick(control<FileListBox>(form, "FileListBox1")->viewport(), button, {}, item.center());
    }
    QString folderPath() const { return QDir(folder.path()).canonicalPath(); }
};

} // namespace

TEST(ClickRouting, LabelsOpenTheViewerOrInCommentModeTheEditor)
{
    RoutedWindow w;
    w.clickLabel(2);
    w.clickLabel(9); // an empty cell
    control<QCheckBox>(w.form, "CheckBox1")->click();
    ASSERT_TRUE(control<QCheckBox>(w.form, "CheckBox1")->isChecked());
    w.clickLabel(9);
    w.clickLabel(3);
    EXPECT_EQ(w.opened, (QStringList{QStringLiteral("viewer  pic002.jpg"), QStringLiteral("editor  pic003.jpg")}));
    EXPECT_TRUE(w.selection.SelectedPicture.isEmpty()) << "a label click leaves the picture alone";

    // The label of an empty cell empties the key and opens nothing.
    w.clickLabel(9);
    EXPECT_TRUE(w.selection.SelectedCommentKey.isEmpty());
    EXPECT_EQ(w.opened.size(), 2);
}

TEST(ClickRouting, TheModeBoxesExcludeEachOther)
{
    RoutedWindow w;
    QCheckBox* comment = control<QCheckBox>(w.form, "CheckBox1");
    QCheckBox* rotation = control<QCheckBox>(w.form, "CheckBox2");
    comment->click();
    EXPECT_TRUE(comment->isChecked());
    EXPECT_FALSE(rotation->isChecked());

    // Ticking one while the other is ticked leaves both clear; a second click ticks it.
    rotation->click();
    EXPECT_FALSE(comment->isChecked());
    EXPECT_FALSE(rotation->isChecked());
    rotation->click();
    EXPECT_TRUE(rotation->isChecked());
    comment->click();
    EXPECT_FALSE(comment->isChecked());
    EXPECT_FALSE(rotation->isChecked());

    // A change made by the program runs the handlers too.
    comment->setChecked(true);
    rotation->setChecked(true);
    EXPECT_FALSE(comment->isChecked());
    EXPECT_FALSE(rotation->isChecked());
}

TEST(ClickRouting, TheFileListOpensRotationCommentsOrTheZoomWindow)
{
    RoutedWindow w;
    // No file selected: the zoom window with an empty name.
    QTest::mouseClick(control<FileListBox>(w.form, "FileListBox1")->viewport(), Qt::LeftButton, {}, QPoint(5, 150));
    ASSERT_EQ(w.opened.size(), 1);
    EXPECT_EQ(w.opened[0], QStringLiteral("zoom  "));

    w.clickFile(1);
    EXPECT_EQ(w.opened.last(), QStringLiteral("zoom pic002.jpg "));

    control<QCheckBox>(w.form, "CheckBox2")->click();
    w.clickFile(0);
    EXPECT_EQ(w.opened.last(), QStringLiteral("rotation %1/pic001.jpg ").arg(w.folderPath()));
    EXPECT_TRUE(w.selection.SelectedPicture.isAbsolute());
    // The right button opens as the left one does, without changing the selection.
    w.clickFile(2, Qt::RightButton);
    EXPECT_EQ(w.opened.last(), QStringLiteral("rotation %1/pic001.jpg ").arg(w.folderPath()));

    control<QCheckBox>(w.form, "CheckBox1")->click(); // clears both
    control<QCheckBox>(w.form, "CheckBox1")->click();
    w.selection.SelectedCommentKey = FilePath(QStringLiteral("kept.jpg"));
    w.clickFile(2);
    EXPECT_EQ(w.opened.last(), QStringLiteral("editor pic003.jpg pic003.jpg")) << "the key is the clicked file";
    EXPECT_EQ(w.opened.size(), 5);
}

// In comment mode the file list opens the editor on the clicked file, whatever
// key an earlier window left behind, and never on an empty key.
TEST(ClickRouting, TheFileListInCommentModeEditsTheClickedFilesComment)
{
    RoutedWindow w;
    control<QCheckBox>(w.form, "CheckBox1")->click();
    ASSERT_TRUE(control<QCheckBox>(w.form, "CheckBox1")->isChecked());
    // As a closed editor leaves it: empty.
    w.selection.SelectedCommentKey = FilePath();
    w.clickFile(0);
    // As the viewer leaves it: another picture's name.
    w.selection.SelectedCommentKey = FilePath(QStringLiteral("pic003.jpg"));
    w.clickFile(1);
    EXPECT_EQ(
        w.opened,
        (QStringList{QStringLiteral("editor pic001.jpg pic001.jpg"), QStringLiteral("editor pic002.jpg pic002.jpg")}));
    EXPECT_EQ(w.selection.SelectedCommentKey.native(), QByteArray("pic002.jpg"));

    // A release where no file is selected opens nothing in comment mode.
    control<FileListBox>(w.form, "FileListBox1")->selectRow(-1);
    QTest::mouseClick(control<FileListBox>(w.form, "FileListBox1")->viewport(), Qt::LeftButton, {}, QPoint(5, 150));
    EXPECT_EQ(w.opened.size(), 2) << w.opened.join(u'|').toStdString();
    EXPECT_TRUE(w.selection.SelectedCommentKey.isEmpty());
}
