// The paging buttons wired to the main window: a click draws its page and sets
// the buttons. The arithmetic itself is tested without a window in
// paging_arithmetic_test.cpp.
#include "browser/ExtentListBox.h"
#include "browser/FileListBox.h"
#include "browser/Paging.h"
#include "browser/TForm1.h"
#include "common/Selection.h"
#include "support/Controls.h"
#include "support/PageView.h"
#include "support/PictureFolder.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

using zavio::fixtures::control;
using namespace zavio;
using zavio::fixtures::PageView;
using zavio::fixtures::PictureFolder;
using zavio::fixtures::shownPositions;

namespace {

// Reads the page from the labels and the buttons.
PageView viewOf(const TForm1& form)
{
    PageView view = shownPositions([&form](int cell) { return form.cellCaption(cell); });
    view.previous = control<QPushButton>(form, "BitBtn1")->isEnabled();
    view.next = control<QPushButton>(form, "BitBtn2")->isEnabled();
    view.back50 = control<QPushButton>(form, "BitBtn5")->isEnabled();
    view.forward50 = control<QPushButton>(form, "BitBtn3")->isEnabled();
    return view;
}

// A window on a folder of count pictures, on its first page.
struct PagedFolder {
    PictureFolder folder;
    Selection selection;
    TForm1 form{selection};
    explicit PagedFolder(int count)
    {
        folder.writeNumberedJpegs(count, QStringLiteral("pic"), 8, 6);
        form.openFolder(folder.path());
    }
    PageView click(QPushButton* button)
    {
        button->click();
        return viewOf(form);
    }
};

constexpr bool on = true;
constexpr bool off = false;

} // namespace

TEST(PagingWindow, TwentyPicturesShowTheLastAgainAndComeBack)
{
    PagedFolder f(20);
    EXPECT_EQ(viewOf(f.form), (PageView{1, 20, on, on, on, on}));
    EXPECT_EQ(f.form.counters().ListPosition, 20);

    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn2")), (PageView{20, 20, on, off, on, off}));
    EXPECT_EQ(f.form.counters().ListPosition, 21);
    EXPECT_TRUE(control<QPushButton>(f.form, "BitBtn3")->isHidden()
                && control<QPushButton>(f.form, "BitBtn5")->isHidden())
        << "enabling keeps them hidden";

    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn1")), (PageView{1, 20, off, on, off, on}));
    EXPECT_EQ(f.form.counters().ListPosition, 20);
    // "前へ" is now disabled, so a further click does nothing.
    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn1")), (PageView{1, 20, off, on, off, on}));
}

TEST(PagingWindow, FiftyStepsThroughAHundredAndTwentyPictures)
{
    PagedFolder f(120);
    EXPECT_FALSE(control<QPushButton>(f.form, "BitBtn3")->isHidden());
    EXPECT_FALSE(control<QPushButton>(f.form, "BitBtn5")->isHidden());
    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn3")), (PageView{51, 70, on, on, on, on}));
    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn3")), (PageView{101, 120, on, on, on, on}));
    EXPECT_EQ(f.form.counters().ListPosition, 120);
    // Past the end: nothing is drawn, and as 151 is not 121 all stay enabled.
    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn3")), (PageView{0, 0, on, on, on, on}));
    EXPECT_EQ(f.form.counters().ListPosition, 151);
    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn1")), (PageView{113, 120, on, on, on, on}));
    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn2")), (PageView{0, 0, on, off, on, off}));
    EXPECT_EQ(f.form.counters().ListPosition, 121);
    // "50前へ" from there: 121 - 69 = 52.
    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn5")), (PageView{52, 71, on, on, on, on}));
}

TEST(PagingWindow, BackwardButtonsMoveTheSelectionWithoutReportingAChange)
{
    PagedFolder f(45);
    // The user picks a file: the page starts over at 1.
    control<FileListBox>(f.form, "FileListBox1")->setCurrentRow(7);
    ASSERT_EQ(viewOf(f.form).first, 1);
    f.click(control<QPushButton>(f.form, "BitBtn2"));
    f.click(control<QPushButton>(f.form, "BitBtn2"));
    ASSERT_EQ(viewOf(f.form).first, 39);

    QSignalSpy changes(control<FileListBox>(f.form, "FileListBox1"), &FileListBox::currentRowChanged);
    // Back from the last page (the list ran out, ListPosition 46): 46 - 38 = 8.
    EXPECT_EQ(f.click(control<QPushButton>(f.form, "BitBtn1")), (PageView{8, 27, on, on, on, on}));
    EXPECT_EQ(control<FileListBox>(f.form, "FileListBox1")->currentRow(), -1);
    EXPECT_TRUE(control<FileListBox>(f.form, "FileListBox1")->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(control<QLabel>(f.form, "Label21")->text(), QStringLiteral("ファイル数 = 45"));
}
