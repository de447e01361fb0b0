// The paging buttons' arithmetic over the counters, the page fill and the
// button states, without a window: each click runs the steps the main window
// runs for it, with a fill that draws every cell from its name alone.
#include "browser/PageButtons.h"
#include "browser/PageFailureLog.h"
#include "browser/PageFiller.h"
#include "browser/Paging.h"
#include "imaging/PictureError.h"
#include "support/PageView.h"

#include <gtest/gtest.h>
#include <map>

using namespace zavio;
using zavio::fixtures::PageView;
using zavio::fixtures::shownPositions;

namespace {

// The captions of a fill; paging switched off for a folder too small to page.
struct CaptionSink : PageSink {
    std::map<int, QString> captions;
    PageButtonStates* buttons = nullptr;

    void clearPage() override { captions.clear(); }
    void drawCell(int, const TBitmap&) override {}
    void setCaption(int cell, const FilePath& name) override { captions[cell] = name.text(); }
    void disablePaging() override
    {
        buttons->previousEnabled = false;
        buttons->nextEnabled = false;
    }
};

// A list of count pictures after its count and first page, paged as the
// buttons do; a disabled button's click does nothing.
class PagedList {
public:
    explicit PagedList(int count, int brokenPosition = 0)
    {
        for (int i = 1; i <= count; ++i)
            names_.emplace_back(QStringLiteral("pic%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
        const QString broken =
            brokenPosition > 0 ? QStringLiteral("pic%1.jpg").arg(brokenPosition, 3, 10, QLatin1Char('0')) : QString();
        filler_.setBackgroundWork(false);
        filler_.setRenderer([broken](const FilePath& file, int, int, TBitmap&) -> std::optional<TBitmap> {
            if (!broken.isEmpty() && file.text().endsWith(broken))
                throw PictureError(QStringLiteral("壊れています: ") + file.text());
            return TBitmap(1, 1);
        });
        sink_.buttons = &buttons_;
        readFolder();
    }

    // The folder read again: counted, the first page drawn, failures new again.
    void readFolder()
    {
        failureLog.clear();
        selectedRow = -1;
        count();
    }
    // The user picks a file: the list is counted and drawn from the start.
    void selectFile(int row)
    {
        selectedRow = row;
        count();
    }

    PageView previous() { return backward(buttons_.previousEnabled, previousPageBeforeFill); }
    PageView back50() { return backward(buttons_.back50Enabled, back50BeforeFill); }
    PageView next() { return forward(buttons_.nextEnabled, nullptr); }
    PageView forward50() { return forward(buttons_.forward50Enabled, forward50BeforeFill); }

    // Draws the page from the counters as they are.
    void fill() { report(filler_.fill(counters, names_, FilePath(QStringLiteral("/pictures")), sink_)); }

    PageView view() const
    {
        PageView view = shownPositions([this](int cell) {
            const auto caption = sink_.captions.find(cell);
            return caption == sink_.captions.end() ? QString() : caption->second;
        });
        view.previous = buttons_.previousEnabled;
        view.next = buttons_.nextEnabled;
        view.back50 = buttons_.back50Enabled;
        view.forward50 = buttons_.forward50Enabled;
        return view;
    }
    const PageButtonStates& buttons() const { return buttons_; }

    BrowseCounters counters;
    int selectedRow = -1;
    PageFailureLog failureLog;
    // The reports the fills gave so far, one per fill that had something new.
    QStringList reports;

private:
    void count()
    {
        counters = {1, 1, int(names_.size()), int(names_.size())};
        buttons_ = buttonsAfterCount(counters.PictureCount, buttons_);
        fill();
    }
    PageView backward(bool enabled, ListSelectionChange (*step)(BrowseCounters&, PageButtonStates&, bool))
    {
        if (enabled) {
            const ListSelectionChange change = step(counters, buttons_, selectedRow >= 0);
            if (change == ListSelectionChange::SelectFirst)
                selectedRow = 0;
            else if (change == ListSelectionChange::Clear)
                selectedRow = -1;
            fill();
        }
        return view();
    }
    PageView forward(bool enabled, void (*step)(BrowseCounters&))
    {
        if (enabled) {
            if (step)
                step(counters);
            fill();
            buttonsAfterForwardFill(counters, buttons_);
        }
        return view();
    }
    void report(const std::vector<PageFailure>& failures)
    {
        if (const QString message = failureLog.reportOnce(failures); !message.isEmpty())
            reports.append(message);
    }

    std::vector<FilePath> names_;
    PageFiller filler_;
    CaptionSink sink_;
    PageButtonStates buttons_;
};

constexpr bool on = true;
constexpr bool off = false;

} // namespace

TEST(PagingArithmetic, TwentyPicturesShowTheLastAgainAndComeBack)
{
    PagedList list(20);
    EXPECT_EQ(list.view(), (PageView{1, 20, on, on, on, on}));
    EXPECT_EQ(list.counters.ListPosition, 20);

    EXPECT_EQ(list.next(), (PageView{20, 20, on, off, on, off}));
    EXPECT_EQ(list.counters.ListPosition, 21);
    EXPECT_FALSE(list.buttons().back50Visible || list.buttons().forward50Visible) << "enabling keeps them hidden";

    EXPECT_EQ(list.previous(), (PageView{1, 20, off, on, off, on}));
    EXPECT_EQ(list.counters.ListPosition, 20);
    // "前へ" is now disabled, so a further click does nothing.
    EXPECT_EQ(list.previous(), (PageView{1, 20, off, on, off, on}));
}

TEST(PagingArithmetic, PreviousOnTheFirstPageRedrawsIt)
{
    PagedList list(45);
    EXPECT_EQ(list.previous(), (PageView{1, 20, off, on, off, on}));
}

TEST(PagingArithmetic, ThirtyNinePicturesEndOnAFullPage)
{
    PagedList list(39);
    EXPECT_EQ(list.next(), (PageView{20, 39, on, on, on, on}));
    EXPECT_EQ(list.counters.ListPosition, 39);
    EXPECT_EQ(list.next(), (PageView{39, 39, on, off, on, off}));
    EXPECT_EQ(list.counters.ListPosition, 40);
}

TEST(PagingArithmetic, PreviousFromAPartialLastPageStepsFromPastTheEnd)
{
    PagedList list(60);
    EXPECT_EQ(list.next(), (PageView{20, 39, on, on, on, on}));
    EXPECT_EQ(list.next(), (PageView{39, 58, on, on, on, on}));
    EXPECT_EQ(list.next(), (PageView{58, 60, on, off, on, off}));
    EXPECT_EQ(list.counters.ListPosition, 61);
    EXPECT_EQ(list.previous(), (PageView{23, 42, on, on, on, on}));
}

TEST(PagingArithmetic, FiftyStepsThroughAHundredAndTwentyPictures)
{
    PagedList list(120);
    EXPECT_TRUE(list.buttons().back50Visible && list.buttons().forward50Visible);
    EXPECT_EQ(list.forward50(), (PageView{51, 70, on, on, on, on}));
    EXPECT_EQ(list.forward50(), (PageView{101, 120, on, on, on, on}));
    EXPECT_EQ(list.counters.ListPosition, 120);
    // Past the end: nothing is drawn, and as 151 is not 121 all stay enabled.
    EXPECT_EQ(list.forward50(), (PageView{0, 0, on, on, on, on}));
    EXPECT_EQ(list.counters.ListPosition, 151);
    EXPECT_EQ(list.previous(), (PageView{113, 120, on, on, on, on}));
    EXPECT_EQ(list.next(), (PageView{0, 0, on, off, on, off}));
    EXPECT_EQ(list.counters.ListPosition, 121);
    // "50前へ" from there: 121 - 69 = 52.
    EXPECT_EQ(list.back50(), (PageView{52, 71, on, on, on, on}));
}

TEST(PagingArithmetic, NinetyNinePicturesJumpPastTheEnd)
{
    PagedList list(99);
    EXPECT_EQ(list.forward50(), (PageView{51, 70, on, on, on, on}));
    EXPECT_EQ(list.forward50(), (PageView{0, 0, on, on, on, on}));
    EXPECT_EQ(list.counters.ListPosition, 101);
}

TEST(PagingArithmetic, FiftyBackFromAPageAtThirtyClampsToTheFirstPage)
{
    PagedList list(120);
    list.counters.ListPosition = 30;
    list.counters.CellNumber = 1;
    list.fill();
    ASSERT_EQ(list.counters.ListPosition, 49);
    EXPECT_EQ(list.back50(), (PageView{1, 20, off, on, off, on}));
}

TEST(PagingArithmetic, BackwardButtonsClearTheSelection)
{
    PagedList list(45);
    // The user picks a file: the page starts over at 1.
    list.selectFile(7);
    ASSERT_EQ(list.view().first, 1);
    list.next();
    list.next();
    ASSERT_EQ(list.view().first, 39);

    // Back from the last page (the list ran out, ListPosition 46): 46 - 38 = 8.
    EXPECT_EQ(list.previous(), (PageView{8, 27, on, on, on, on}));
    EXPECT_EQ(list.selectedRow, -1);
    EXPECT_EQ(list.counters.PictureCount, 45);
}

TEST(PagingArithmetic, ABrokenPictureDoesNotStopPaging)
{
    PagedList list(45, 5);
    ASSERT_EQ(list.reports.size(), 1);
    EXPECT_TRUE(list.reports[0].contains(QStringLiteral("pic005.jpg")));
    EXPECT_EQ(list.view(), (PageView{1, 20, on, on, on, on}));

    // Every page after it is reached, and only a page holding it reports it.
    EXPECT_EQ(list.next(), (PageView{20, 39, on, on, on, on}));
    EXPECT_EQ(list.next(), (PageView{39, 45, on, off, on, off}));
    EXPECT_EQ(list.reports.size(), 1);
    EXPECT_EQ(list.previous().first, 8);
    EXPECT_EQ(list.reports.size(), 1);
    EXPECT_EQ(list.previous(), (PageView{1, 20, off, on, off, on}));
    EXPECT_EQ(list.reports.size(), 1) << "a failure told once is not told again on every fill";

    // Reading the folder again tells it again.
    list.readFolder();
    EXPECT_EQ(list.reports.size(), 2);
}

TEST(Paging, StepsOverTheCountersAlone)
{
    // Enabling never shows a hidden button: only the count sets visibility.
    PageButtonStates buttons;
    buttons.back50Visible = false;
    buttons.forward50Visible = false;
    BrowseCounters counters{120, 1, 120, 120};
    EXPECT_EQ(previousPageBeforeFill(counters, buttons, true), ListSelectionChange::Clear);
    EXPECT_EQ(counters.ListPosition, 82);
    EXPECT_TRUE(buttons.previousEnabled && buttons.nextEnabled && buttons.back50Enabled && buttons.forward50Enabled);
    EXPECT_FALSE(buttons.back50Visible || buttons.forward50Visible);

    counters = {10, 7, 120, 120};
    EXPECT_EQ(back50BeforeFill(counters, buttons, false), ListSelectionChange::SelectFirst);
    EXPECT_EQ(counters, (BrowseCounters{1, 1, 120, 120}));
    EXPECT_FALSE(buttons.previousEnabled || buttons.back50Enabled);

    counters = {121, 1, 120, 120};
    forward50BeforeFill(counters);
    EXPECT_EQ(counters.ListPosition, 152) << "never clamped";
    buttonsAfterForwardFill(counters, buttons);
    EXPECT_TRUE(buttons.nextEnabled && buttons.forward50Enabled);
}
