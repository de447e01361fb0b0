// A broken picture in a large folder: 45 photo-like pictures, some with
// Japanese names, whose fifth is cut off half way through its data. The
// program must show page 1 with the broken mark and the name in cell 5 and
// one error message box, which is dismissed with the Return key; then "次へ"
// is clicked until the last page, which must end with picture 45 in its cell.
// Every cell is checked against what the program draws for its picture.

#include "BenchPhotos.h"
#include "Scenarios.h"
#include "browser/PageFiller.h"
#include "imaging/FilePath.h"
#include "imaging/JpegCodec.h"
#include "support/ChildProcess.h"
#include "support/MainWindowLayout.h"
#include "support/Screenshots.h"
#include "support/WorkFolder.h"
#include "support/XSession.h"
#include "support/XWindows.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zavio::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int kPictureCount = 45;
constexpr int kBrokenPosition = 5;
constexpr int kMaxNextClicks = 5;
// The screen shows the program's cell pixels unchanged; a cell's mean
// difference per colour channel from what it should show stays below this.
constexpr double kSameCell = 2.0;
// How far the broken cell must be from silver and from its picture.
constexpr double kClearlyOther = 20.0;

// What a cell shows: a position of the folder (1 to 45) or one of these.
constexpr int kSilverCell = 0;
constexpr int kBrokenMark = -1;
constexpr int kUnknown = -2;

// The file name at a position of the folder (1-based). The names sort alike
// by bytes, by code points and without regard to case: ASCII first, then
// 夕 (U+5915), then 海 (U+6D77).
QString fileNameAt(int position)
{
    const QString number = QStringLiteral("%1").arg(position, 3, 10, QLatin1Char('0'));
    if (position <= 4)
        return QStringLiteral("beach_%1.jpg").arg(number);
    if (position <= 30)
        return QStringLiteral("夕焼け_%1.jpg").arg(number);
    return QStringLiteral("海辺_%1.jpg").arg(number);
}

// Three shapes, so that cells are filled whole, with silver at the sides and
// with silver above and below.
QSize sizeAt(int position)
{
    switch (position % 3) {
    case 0:
        return {300, 400};
    case 1:
        return {400, 300};
    default:
        return {480, 270};
    }
}

// What each cell may show, as the program draws it.
struct ExpectedCells {
    std::vector<QImage> pictures; // by position; the broken one as its intact picture
    QImage silver;
    QImage brokenMark;
};

QImage drawnCell(const QString& path)
{
    TBitmap scratch;
    const std::optional<TBitmap> cell = renderThumbnailCell(FilePath(path), kCellWidth, kCellHeight, scratch);
    if (!cell)
        throw Failure("cannot draw the expected cell of " + path.toStdString());
    return cell->image().convertToFormat(QImage::Format_RGB32);
}

// Writes the folder, with the broken picture cut to half its bytes and kept
// whole in intact, and returns what the cells should show.
ExpectedCells writeFolder(const QString& folder, const QString& intact)
{
    ExpectedCells expected;
    expected.pictures.resize(kPictureCount + 1);
    for (int position = 1; position <= kPictureCount; ++position) {
        const QSize size = sizeAt(position);
        const QByteArray jpeg = TJPEGImage::encode(bench::makePhoto(position, size.width(), size.height()));
        const QString name = fileNameAt(position);
        const QString whole = (position == kBrokenPosition ? intact : folder) + u'/' + name;
        writeBytes(whole, jpeg);
        expected.pictures[size_t(position)] = drawnCell(whole);
        if (position == kBrokenPosition)
            writeBytes(folder + u'/' + name, jpeg.left(jpeg.size() / 2));
    }
    expected.silver = QImage(kCellWidth, kCellHeight, QImage::Format_RGB32);
    expected.silver.fill(kSilver);
    expected.brokenMark = brokenPictureCell(kCellWidth, kCellHeight).image().convertToFormat(QImage::Format_RGB32);
    return expected;
}

// What the cell shows: the position whose picture it is, silver, the broken
// mark, or kUnknown.
int whatCellShows(const QImage& shot, int cell, const ExpectedCells& expected)
{
    const QRect area = cellRect(cell);
    if (meanDifference(shot, area, expected.silver, kSameCell) <= kSameCell)
        return kSilverCell;
    if (meanDifference(shot, area, expected.brokenMark, kSameCell) <= kSameCell)
        return kBrokenMark;
    for (int position = 1; position <= kPictureCount; ++position)
        if (meanDifference(shot, area, expected.pictures[size_t(position)], kSameCell) <= kSameCell)
            return position;
    return kUnknown;
}

std::string shownText(int shown)
{
    switch (shown) {
    case kSilverCell:
        return "silver";
    case kBrokenMark:
        return "the broken mark";
    case kUnknown:
        return "no known picture";
    default:
        return "picture " + std::to_string(shown);
    }
}

// Pixels of the name's purple text in the label under the cell.
int nameInk(const QImage& shot, int cell)
{
    const QRect label = labelRect(cell);
    int ink = 0;
    for (int y = label.top(); y <= label.bottom(); ++y)
        for (int x = label.left(); x <= label.right(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            ink += qRed(pixel) - qGreen(pixel) > 40 && qBlue(pixel) - qGreen(pixel) > 40;
        }
    return ink;
}

struct Page {
    int first = 0; // position in cell 1
    int last = 0; // position in the last cell drawn
};

// Checks that the screenshot shows a whole page: cells from 1 on showing the
// positions from some start one after the other (the broken picture as the
// mark), silver cells after them, a name under every drawn cell and none
// under a silver one. Fills page; returns what is wrong, if anything.
std::optional<std::string> checkPage(const QImage& shot, const ExpectedCells& expected, Page& page)
{
    if (shot.width() != kClientWidth || shot.height() != kClientHeight)
        return "client area is " + std::to_string(shot.width()) + "x" + std::to_string(shot.height());
    const int first = whatCellShows(shot, 1, expected);
    if (first == kSilverCell || first == kUnknown)
        return "cell 1 shows " + shownText(first);
    page.first = first == kBrokenMark ? kBrokenPosition : first;
    page.last = std::min(page.first + kCells - 1, kPictureCount);
    for (int cell = 1; cell <= kCells; ++cell) {
        const int position = page.first + cell - 1;
        const int wanted = position > kPictureCount ? kSilverCell
            : position == kBrokenPosition           ? kBrokenMark
                                                    : position;
        const int shown = cell == 1 ? first : whatCellShows(shot, cell, expected);
        if (shown != wanted)
            return "cell " + std::to_string(cell) + " shows " + shownText(shown) + ", expected " + shownText(wanted)
                + " on a page from position " + std::to_string(page.first);
        const bool named = nameInk(shot, cell) >= 10;
        if (named != (shown != kSilverCell))
            return "the label of cell " + std::to_string(cell) + (named ? " has" : " has no") + " name under "
                + shownText(shown);
    }
    return std::nullopt;
}

// Fails when a message box titled with the program's name is shown.
void expectNoMessageBox(Display* display, ProgramUnderTest& zavio, const std::string& when)
{
    if (!topLevelsTitled(display, kMainTitle).empty())
        throw Failure("another message box appeared " + when + zavio.output());
}

// One message box, titled with the program's name alone, over the main window.
TitledWindow waitForTheErrorBox(Display* display, ProgramUnderTest& zavio, const TitledWindow& main,
                                Clock::time_point start, const std::string& shots)
{
    std::optional<TitledWindow> box;
    zavio.waitUntil(
        15s, std::string("error message box titled \"") + kMainTitle + "\"",
        [&]() -> std::optional<std::string> {
            const std::vector<TitledWindow> boxes = topLevelsTitled(display, kMainTitle);
            if (boxes.size() != 1)
                return std::to_string(boxes.size()) + " such windows; " + describeTopLevels(display);
            box = boxes.front();
            if (transientFor(display, box->window) != main.window)
                return std::string("the box does not belong to the main window (WM_TRANSIENT_FOR)");
            if (!isDrawn(grabWindow(display, box->window)))
                return std::string("the box is not drawn yet");
            return std::nullopt;
        },
        50ms);
    const WindowState boxState = windowState(display, box->window);
    std::printf("error message box %dx%d shown %lld ms after start\n", boxState.width, boxState.height, msSince(start));
    if (!shots.empty())
        saveShot(grabScreen(display, rootRect(display, main.window) | rootRect(display, box->window)),
                 shotPath(shots, "-broken"));
    return *box;
}

// Dismissed with a real key press, the box stays away: one box for the page.
void closeTheBoxWithReturn(Display* display, ProgramUnderTest& zavio, const TitledWindow& box)
{
    pressKey(display, box.window, kReturnKey);
    zavio.waitForUnmap(display, box.window, 5s, "closing of the error message box after the Return key");
    for (const auto quiet = Clock::now() + 1500ms; Clock::now() < quiet;) {
        zavio.expectRunning("after its message box was closed");
        expectNoMessageBox(display, zavio, "after the first one was closed");
        std::this_thread::sleep_for(50ms);
    }
    std::printf("message box closed by the Return key, no other one followed\n");
}

// Page 1: pictures 1 to 20, the mark and the name in cell 5.
Page checkPageOneWithTheMark(Display* display, ProgramUnderTest& zavio, const TitledWindow& main,
                             const ExpectedCells& expected)
{
    QImage shot;
    Page page;
    zavio.waitUntil(
        10s, "page 1 with the broken mark in cell 5",
        [&]() -> std::optional<std::string> {
            shot = grabWindow(display, main.window);
            if (auto complaint = checkPage(shot, expected, page))
                return complaint;
            if (page.first != 1)
                return "the page starts at position " + std::to_string(page.first);
            return std::nullopt;
        },
        100ms);
    const QRect brokenCell = cellRect(kBrokenPosition);
    const double fromSilver = meanDifference(shot, brokenCell, expected.silver);
    const double fromPicture = meanDifference(shot, brokenCell, expected.pictures[kBrokenPosition]);
    if (fromSilver < kClearlyOther || fromPicture < kClearlyOther)
        throw Failure("cell 5 is too near silver (" + std::to_string(fromSilver) + ") or its picture ("
                      + std::to_string(fromPicture) + ")" + zavio.output());
    std::printf("page 1 shows pictures 1 to %d, cell 5 the broken mark (mean difference %.0f from silver, "
                "%.0f from the picture) named by %d pixels of text\n",
                page.last, fromSilver, fromPicture, nameInk(shot, kBrokenPosition));
    return page;
}

// "次へ" until the page that ends with the folder's last picture, each page
// checked whole and no message box shown. Returns the last page's screenshot.
QImage pageToTheEnd(Display* display, ProgramUnderTest& zavio, const TitledWindow& main, const ExpectedCells& expected,
                    Page& page)
{
    QImage shot;
    const QPoint next = nextButtonRect().center();
    for (int click = 1; page.last < kPictureCount; ++click) {
        if (click > kMaxNextClicks)
            throw Failure("picture " + std::to_string(kPictureCount) + " not reached after "
                          + std::to_string(kMaxNextClicks) + " clicks on 次へ; the page shows positions "
                          + std::to_string(page.first) + " to " + std::to_string(page.last) + zavio.output());
        const auto clickStart = Clock::now();
        const int before = page.first;
        clickAt(display, main.window, next.x(), next.y(), kLeftButton);
        zavio.waitUntil(
            10s, "new page after click " + std::to_string(click) + " on 次へ",
            [&]() -> std::optional<std::string> {
                expectNoMessageBox(display, zavio, "while paging, away from the broken picture");
                shot = grabWindow(display, main.window);
                if (auto complaint = checkPage(shot, expected, page))
                    return complaint;
                if (page.first <= before)
                    return "the page starts at position " + std::to_string(page.first);
                return std::nullopt;
            },
            100ms);
        std::printf("click %d on 次へ: pictures %d to %d after %lld ms\n", click, page.first, page.last,
                    msSince(clickStart));
    }
    return shot;
}

// The last page shows picture 45 drawn, and silver after it.
void checkTheLastPage(ProgramUnderTest& zavio, const QImage& shot, const ExpectedCells& expected, const Page& page)
{
    const int lastCell = kPictureCount - page.first + 1;
    const double lastFromSilver = meanDifference(shot, cellRect(lastCell), expected.silver);
    if (lastFromSilver < kClearlyOther)
        throw Failure("the cell of picture 45 is nearly silver" + zavio.output());
    zavio.expectRunning("after paging to the end");
    std::printf("the last page shows picture %d in cell %d and silver after it\n", kPictureCount, lastCell);
}

} // namespace

void brokenPictureScenario(const std::string& program)
{
    const WorkFolder work;
    const QString folder = work.makeFolder(QStringLiteral("pictures"));
    const ExpectedCells expected = writeFolder(folder, work.makeFolder(QStringLiteral("intact")));
    const std::string shots = requestedShotPath();

    XSession session(work.logs());
    Display* display = session.display();
    ProgramUnderTest zavio(session, program, folder.toStdString(), work.logs());

    const auto start = Clock::now();
    const TitledWindow main = zavio.waitForWindow(display, 20s, "main window", isMainWindowTitle);
    const TitledWindow box = waitForTheErrorBox(display, zavio, main, start, shots);
    closeTheBoxWithReturn(display, zavio, box);

    Page page = checkPageOneWithTheMark(display, zavio, main, expected);
    const QImage lastShot = pageToTheEnd(display, zavio, main, expected, page);
    if (!shots.empty())
        saveShot(lastShot, shotPath(shots, "-last-page"));
    checkTheLastPage(zavio, lastShot, expected, page);
}
} // namespace zavio::e2e
