// The main window and the zoom window: the real program in a folder of three
// pictures, its main window checked from a screenshot (size, three thumbnails,
// seventeen empty silver cells). Then the third thumbnail is clicked with XTEST
// input and the zoom window checked: caption, size, picture, the blocked main
// window, zooming in and out by clicks, and closing it as a window manager would.

#include "Scenarios.h"
#include "imaging/JpegCodec.h"
#include "imaging/TBitmap.h"
#include "support/ChildProcess.h"
#include "support/MainWindowLayout.h"
#include "support/Screenshots.h"
#include "support/WorkFolder.h"
#include "support/XSession.h"
#include "support/XWindows.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zavio::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int kJpegTolerance = 40;
constexpr int kZoomCell = 3;
constexpr int kBlockedCell = 1;
constexpr const char* kZoomTitle = "可変表示・元サイズ＝640*480 3.jpg";

struct Fixture {
    const char* fileName;
    int width;
    int height;
    QRgb colour;
};

constexpr Fixture kPictures[] = {
    {"1.jpg", 400, 300, qRgb(220, 30, 30)},
    {"2.jpg", 300, 400, qRgb(30, 200, 40)},
    {"3.jpg", 640, 480, qRgb(30, 40, 220)},
};

void writeFixture(const QString& folder)
{
    for (const Fixture& picture : kPictures) {
        zavio::TBitmap bitmap(picture.width, picture.height);
        bitmap.fill(std::uint8_t(qRed(picture.colour)), std::uint8_t(qGreen(picture.colour)),
                    std::uint8_t(qBlue(picture.colour)));
        writeBytes(folder + QLatin1Char('/') + QLatin1String(picture.fileName), zavio::TJPEGImage::encode(bitmap));
    }
    writeBytes(folder + QStringLiteral("/notes.txt"), QByteArray("not a picture\n"));
}

// What is wrong with the screenshot, or nothing when it shows the expected page:
// the three pictures (in any order) in cells 1 to 3 and silver cells after them.
std::optional<std::string> checkScreenshot(const QImage& shot)
{
    if (shot.width() != kClientWidth || shot.height() != kClientHeight)
        return "client area is " + std::to_string(shot.width()) + "x" + std::to_string(shot.height()) + ", expected "
            + std::to_string(kClientWidth) + "x" + std::to_string(kClientHeight);
    std::vector<bool> used(std::size(kPictures), false);
    for (int cell = 1; cell <= int(std::size(kPictures)); ++cell) {
        const QRgb centre = shot.pixel(cellRect(cell).center());
        if (centre == kSilver)
            return "cell " + std::to_string(cell) + " is silver at its centre, no picture drawn";
        bool matched = false;
        for (size_t i = 0; i < std::size(kPictures); ++i) {
            if (!used[i] && near(centre, kPictures[i].colour, kJpegTolerance)) {
                used[i] = true;
                matched = true;
                break;
            }
        }
        if (!matched)
            return "cell " + std::to_string(cell) + " centre is " + rgbText(centre)
                + ", not the colour of any fixture picture not yet seen";
    }
    for (int cell = int(std::size(kPictures)) + 1; cell <= kCells; ++cell) {
        for (int dy = 0; dy <= 10; ++dy) {
            for (int dx = 0; dx <= 10; ++dx) {
                const int x = cellLeft(cell) + dx * (kCellWidth - 1) / 10;
                const int y = cellTop(cell) + dy * (kCellHeight - 1) / 10;
                if (shot.pixel(x, y) != kSilver)
                    return "cell " + std::to_string(cell) + " is not silver at (" + std::to_string(x) + ","
                        + std::to_string(y) + "): " + rgbText(shot.pixel(x, y));
            }
        }
    }
    return std::nullopt;
}

// Waits for the main window and checks its first page from a screenshot, saved
// when asked for; the clicks that follow need 3.jpg in cell 3.
TitledWindow checkFirstPage(Display* display, ProgramUnderTest& zavio, const std::string& shotPath)
{
    const auto start = Clock::now();
    const TitledWindow window =
        zavio.waitForWindow(display, 20s, std::string("window titled ") + kMainTitle,
                            [](const std::string& title) { return title.find(kMainTitle) != std::string::npos; });
    const auto found = Clock::now();

    QImage shot;
    const std::optional<std::string> problem = zavio.pollUntil(
        15s, "the main window's page",
        [&]() -> std::optional<std::string> {
            shot = grabWindow(display, window.window);
            return shot.isNull() ? std::optional<std::string>("the window could not be read") : checkScreenshot(shot);
        },
        100ms);

    if (!shotPath.empty() && !shot.isNull())
        saveShot(shot, shotPath);
    if (problem)
        throw Failure("the window \"" + window.title + "\" is not as expected: " + *problem + zavio.output());

    std::printf("window \"%s\" found after %lld ms, page checked after %lld ms more\n", window.title.c_str(),
                (long long)std::chrono::duration_cast<std::chrono::milliseconds>(found - start).count(),
                msSince(found));

    // The page check takes the pictures in any order; the clicks need 3.jpg in cell 3.
    const QPoint zoomCell = cellRect(kZoomCell).center();
    if (!near(shot.pixel(zoomCell), kPictures[2].colour, kJpegTolerance))
        throw Failure("cell " + std::to_string(kZoomCell) + " does not show 3.jpg: its centre is "
                      + rgbText(shot.pixel(zoomCell)) + ", expected near " + rgbText(kPictures[2].colour)
                      + zavio.output());
    return window;
}

// Clicks the third thumbnail and checks the zoom window it opens: a new
// top-level window with the picture's caption, size and colour.
TitledWindow openZoomWindowFromCell3(Display* display, ProgramUnderTest& zavio, const TitledWindow& window,
                                     const std::string& shotPath)
{
    const QPoint zoomCell = cellRect(kZoomCell).center();
    const auto zoomStart = Clock::now();
    clickAt(display, window.window, zoomCell.x(), zoomCell.y(), kLeftButton);
    std::optional<TitledWindow> zoom;
    QImage zoomShot;
    zavio.waitUntil(10s, std::string("zoom window titled \"") + kZoomTitle + "\" after clicking cell 3",
                    [&]() -> std::optional<std::string> {
                        if (!zoom) {
                            zoom =
                                findTitledWindow(display, [](const std::string& title) { return title == kZoomTitle; });
                            if (zoom && (zoom->window == window.window || !isTopLevel(display, zoom->window))) {
                                zoom.reset();
                                return std::string("the window with that title is not a new top-level window");
                            }
                        }
                        if (!zoom)
                            return describeTopLevels(display);
                        const WindowState state = windowState(display, zoom->window);
                        if (!state.mapped || state.width != 640 || state.height != 480 || state.title != kZoomTitle)
                            return "the zoom window is " + state.text() + ", expected mapped, 640x480";
                        zoomShot = grabWindow(display, zoom->window);
                        if (zoomShot.isNull())
                            return std::string("the zoom window could not be read");
                        const QRgb centre = zoomShot.pixel(state.width / 2, state.height / 2);
                        if (!near(centre, kPictures[2].colour, kJpegTolerance))
                            return "the zoom window's centre is " + rgbText(centre) + ", expected near "
                                + rgbText(kPictures[2].colour);
                        return std::nullopt;
                    });
    if (!shotPath.empty() && !zoomShot.isNull())
        saveShot(zoomShot, zavio::e2e::shotPath(shotPath, "-zoom"));
    std::printf("zoom window \"%s\" shown and checked %lld ms after the click\n", kZoomTitle, msSince(zoomStart));
    return *zoom;
}

// The zoom window is modal: a click on another thumbnail must do nothing.
// It opens over the main window and may hide the cell; a user would drag
// it aside, and with no window manager the test moves it itself. Returns the
// point clicked, in the main window's coordinates.
QPoint clickTheBlockedMainWindow(Display* display, ProgramUnderTest& zavio, const TitledWindow& window,
                                 const TitledWindow& zoom)
{
    const auto blockedStart = Clock::now();
    const QRect mainRect = rootRect(display, window.window);
    const QRect blockedCell = cellRect(kBlockedCell).translated(mainRect.topLeft());
    QRect zoomRect = rootRect(display, zoom.window);
    if (!uncoveredPoint(blockedCell, zoomRect)) {
        const QPoint aside(blockedCell.right() + 40, zoomRect.y());
        moveWindow(display, zoom.window, aside);
        zavio.waitUntil(2s, "zoom window moved aside to " + std::to_string(aside.x()) + "," + std::to_string(aside.y()),
                        [&]() -> std::optional<std::string> {
                            zoomRect = rootRect(display, zoom.window);
                            if (zoomRect.topLeft() == aside)
                                return std::nullopt;
                            return "it is at " + std::to_string(zoomRect.x()) + "," + std::to_string(zoomRect.y());
                        });
    }
    const std::optional<QPoint> blockedPoint = uncoveredPoint(blockedCell, zoomRect);
    if (!blockedPoint)
        throw Failure("the zoom window at " + std::to_string(zoomRect.x()) + "," + std::to_string(zoomRect.y())
                      + " hides all of cell " + std::to_string(kBlockedCell) + zavio.output());
    clickAt(display, window.window, blockedPoint->x() - mainRect.x(), blockedPoint->y() - mainRect.y(), kLeftButton);
    std::this_thread::sleep_for(500ms);
    zavio.expectRunning("after a click on the blocked main window");
    for (const TitledWindow& top : mappedTopLevels(display)) {
        if (top.window != window.window && top.window != zoom.window)
            throw Failure("a click on cell " + std::to_string(kBlockedCell)
                          + " while the zoom window was open mapped another window titled \"" + top.title + "\""
                          + zavio.output());
    }
    if (const WindowState state = windowState(display, zoom.window);
        !state.mapped || state.title != kZoomTitle || state.width != 640 || state.height != 480)
        throw Failure("a click on cell " + std::to_string(kBlockedCell)
                      + " while the zoom window was open changed it: it is " + state.text() + zavio.output());
    std::printf("click on the blocked main window ignored (%lld ms)\n", msSince(blockedStart));
    return QPoint(blockedPoint->x() - mainRect.x(), blockedPoint->y() - mainRect.y());
}

// Each click in the picture zooms by a tenth and the window follows.
void zoomByClicks(Display* display, ProgramUnderTest& zavio, const TitledWindow& zoom)
{
    const auto zoomClick = [&](unsigned int button, const char* buttonName, int width, int height) {
        const auto clickStart = Clock::now();
        const WindowState before = windowState(display, zoom.window);
        clickAt(display, zoom.window, before.width / 2, before.height / 2, button);
        const std::string title = "Size=" + std::to_string(width) + "*" + std::to_string(height);
        zavio.waitUntil(5s,
                        "zoom window at " + std::to_string(width) + "x" + std::to_string(height) + " titled \"" + title
                            + "\" after a " + buttonName + " click",
                        [&]() -> std::optional<std::string> {
                            const WindowState state = windowState(display, zoom.window);
                            if (state.mapped && state.width == width && state.height == height && state.title == title)
                                return std::nullopt;
                            return "the zoom window is " + state.text();
                        });
        std::printf("%s click: \"%s\" after %lld ms\n", buttonName, title.c_str(), msSince(clickStart));
    };
    zoomClick(kLeftButton, "left", 704, 528);
    zoomClick(kRightButton, "right", 640, 480);
    zoomClick(kRightButton, "right", 576, 432);
}

// Closing the zoom window hands control back to the main window.
void closeTheZoomWindow(Display* display, ProgramUnderTest& zavio, const TitledWindow& window, const TitledWindow& zoom)
{
    const auto closeStart = Clock::now();
    sendDeleteWindow(display, zoom.window);
    zavio.waitForUnmap(display, zoom.window, 5s, "unmapping of the zoom window after WM_DELETE_WINDOW");
    std::this_thread::sleep_for(200ms);
    zavio.expectRunning("after its zoom window was closed");
    if (const WindowState state = windowState(display, window.window); !state.mapped)
        throw Failure("after the zoom window was closed the main window is " + state.text() + zavio.output());
    std::printf("zoom window closed after %lld ms, main window still shown\n", msSince(closeStart));
}

// The same click on cell 1 now opens its picture, so the click that was
// ignored before did hit a live thumbnail.
void reopenFromTheUnblockedCell(Display* display, ProgramUnderTest& zavio, const TitledWindow& window,
                                const QPoint& blockedPoint)
{
    const auto reopenStart = Clock::now();
    clickAt(display, window.window, blockedPoint.x(), blockedPoint.y(), kLeftButton);
    std::optional<TitledWindow> reopened;
    zavio.waitUntil(
        10s, "zoom window after a click on cell " + std::to_string(kBlockedCell) + " of the unblocked main window",
        [&]() -> std::optional<std::string> {
            for (const TitledWindow& top : mappedTopLevels(display)) {
                if (top.window != window.window) {
                    reopened = top;
                    return std::nullopt;
                }
            }
            return std::string("only the main window is mapped");
        });
    sendDeleteWindow(display, reopened->window);
    zavio.waitForUnmap(display, reopened->window, 5s, "unmapping of the reopened zoom window");
    std::printf("cell %d opened \"%s\" once unblocked, closed again after %lld ms\n", kBlockedCell,
                reopened->title.c_str(), msSince(reopenStart));
}

} // namespace

void mainWindowScenario(const std::string& program)
{
    const WorkFolder work;
    const QString fixture = work.makeFolder(QStringLiteral("pictures"));
    writeFixture(fixture);

    XSession session(work.logs());
    Display* display = session.display();
    ProgramUnderTest zavio(session, program, fixture.toStdString(), work.logs());
    const std::string shotPath = requestedShotPath();

    const TitledWindow window = checkFirstPage(display, zavio, shotPath);
    const TitledWindow zoom = openZoomWindowFromCell3(display, zavio, window, shotPath);
    const QPoint blockedPoint = clickTheBlockedMainWindow(display, zavio, window, zoom);
    zoomByClicks(display, zavio, zoom);
    closeTheZoomWindow(display, zavio, window, zoom);
    reopenFromTheUnblockedCell(display, zavio, window, blockedPoint);
}
} // namespace zavio::e2e
