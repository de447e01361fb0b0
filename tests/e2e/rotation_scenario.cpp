// The rotation window's modality: in a folder of three pictures, rotation mode
// is ticked with a click and a file-list click opens the rotation window. It
// is closed by its menu and opened again on the other picture, which is turned
// right with real menu clicks. While it is open, a click on a thumbnail of
// the main window opens nothing, yet the result window beside it works: its
// "上書き保存(&S)" writes the turned picture over the file and closes it,
// and the rotation window, active again, shows the file as saved. A file
// broken behind its back is told once on the next return from the result
// window; closing those message boxes does not reload it again. Closing the
// rotation window as a window manager would leaves rotation mode off, and the
// next file-list click opens the zoom window. All of it runs twice: on a bare
// X server and under openbox.

#include "BenchPhotos.h"
#include "Scenarios.h"
#include "Scene.h"
#include "imaging/FilePath.h"
#include "imaging/JpegCodec.h"
#include "imaging/TBitmap.h"
#include "rotation/Rotation.h"
#include "rotation/TPixelImage.h"
#include "support/ChildProcess.h"
#include "support/MainWindowLayout.h"
#include "support/Menus.h"
#include "support/Screenshots.h"
#include "support/WorkFolder.h"
#include "support/XSession.h"
#include "support/XWindows.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zavio::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kRotationTitle = "画像回転処理";
constexpr const char* kResultTitle = "結果";
// The rotation window's menu "回転" and the result window's "ファイル(&F)",
// each of three commands.
constexpr int kMenuItems = 3;
constexpr int kTurnRight = 0; // "右９０度(&R)"
constexpr int kCloseRotation = 2; // "閉じる(&C)"
constexpr int kOverwrite = 1; // "上書き保存(&S)"

// The file list sorts them in this order; cell 1 shows the first.
constexpr const char* kWideName = "a_wide.jpg"; // 200 x 150, the one turned
constexpr const char* kTallName = "b_tall.jpg"; // 150 x 200
constexpr const char* kOtherName = "c.jpg";
constexpr int kWideRow = 0;
constexpr int kTallRow = 1;
constexpr int kWideCell = 1;

// The preview box's picture control and the status bar under it.
constexpr int kPreviewWidth = 313;
constexpr int kPreviewHeight = 233;
constexpr int kStatusBarHeight = 19;
// A JPEG written and read back differs from what was written by up to this
// mean per colour channel.
constexpr double kSameJpeg = 4.0;
// A point on the turned picture in the result window, below its menu bar.
constexpr QPoint kResultPicturePoint(40, 60);

// What the result window shows for a right turn of the file: the quarter
// turn with its black frame, white where the turn writes nothing.
QImage turnedRight(const QString& path)
{
    TPixelImage picture;
    if (!picture.LoadPicture(FilePath(path)))
        throw Failure("cannot load " + path.toStdString() + " for turning");
    const QSize size = RotatedSize(picture, 270.0f);
    TBitmap target(size.width(), size.height());
    target.fill(255, 255, 255);
    RotateImage(picture, 270.0f, target);
    return target.image().convertToFormat(QImage::Format_RGB32);
}

std::string sizeText(const QSize& size)
{
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

// The rotation window's own steps.
struct RotationScene : Scene {
    using Scene::Scene;

    void tickRotationMode()
    {
        const QPoint box = checkBoxPoint(rotationBoxRect());
        clickAt(display, main.window, box.x(), box.y(), kLeftButton);
        expectModes(false, true, "after a click on ９０度回転");
    }

    // Waits until the rotation window shows picture unscaled in the top-left
    // corner of its silver preview box; returns the preview's top.
    int waitForPreview(const TitledWindow& rotation, const QImage& picture, const std::string& what)
    {
        int top = -1;
        zavio.waitUntil(
            10s, "preview of " + what,
            [&]() -> std::optional<std::string> {
                const QImage shot = grabWindow(display, rotation.window);
                if (shot.isNull())
                    return std::string("the rotation window could not be read");
                // Below the menu bar, at the left edge.
                const std::optional<QPoint> at = findImage(shot, picture, QRect(0, 10, 1, 31), kSamePixels);
                if (!at)
                    return "the window does not show the " + sizeText(picture.size()) + " picture at its left edge";
                top = at->y();
                const QRect box(0, top, kPreviewWidth, kPreviewHeight);
                for (const QPoint& silver :
                     {QPoint(picture.width() + 2, top + 2), QPoint(2, top + picture.height() + 2),
                      QPoint(box.right() - 2, box.bottom() - 2)})
                    if (shot.pixel(silver) != kSilver)
                        return "the preview box is not silver at " + std::to_string(silver.x()) + ","
                            + std::to_string(silver.y()) + " but " + rgbText(shot.pixel(silver));
                return std::nullopt;
            },
            50ms);
        return top;
    }

    QImage statusBar(const TitledWindow& rotation) const
    {
        const WindowState state = windowState(display, rotation.window);
        return grabWindow(display, rotation.window,
                          QRect(0, state.height - kStatusBarHeight, state.width, kStatusBarHeight));
    }

    // Opens the rotation window with a click on the file list's row.
    TitledWindow openRotation(int row, const std::string& name)
    {
        const QPoint point = fileListRowPoint(row);
        clickAt(display, main.window, point.x(), point.y(), kLeftButton);
        return waitForTopLevel(kRotationTitle, "after a file-list click on " + name + " in rotation mode");
    }

    // The result window, which is centred on the screen over the rotation
    // window, moved aside as a user would drag it.
    void moveAside(const TitledWindow& result, const TitledWindow& rotation)
    {
        const QPoint aside(rootRect(display, rotation.window).right() + 20, rootRect(display, rotation.window).top());
        moveWindow(display, result.window, aside);
        zavio.waitUntil(2s, "result window moved aside", [&]() -> std::optional<std::string> {
            if (rootRect(display, result.window).topLeft() == aside)
                return std::nullopt;
            return std::string("it has not moved yet");
        });
    }

    void expectFocus(Window window, const std::string& what)
    {
        zavio.waitUntil(5s, what, [&]() -> std::optional<std::string> {
            const Window focus = inputFocus(display);
            if (focus == window)
                return std::nullopt;
            return "the focus is on window " + std::to_string(focus) + " \"" + windowTitle(display, focus) + "\"";
        });
    }

    // Opens the zoom window with a click at point of the main window, closes
    // it as a window manager would and returns its title.
    std::string openAndCloseZoom(const QPoint& point, const std::string& what)
    {
        clickAt(display, main.window, point.x(), point.y(), kLeftButton);
        std::optional<TitledWindow> zoom;
        zavio.waitUntil(
            10s, "zoom window after " + what,
            [&]() -> std::optional<std::string> {
                for (const TitledWindow& top : mappedClients(display))
                    if (top.title.rfind("可変表示", 0) == 0 || top.title.rfind("サイズ", 0) == 0)
                        zoom = top;
                if (zoom)
                    return std::nullopt;
                return describeTopLevels(display);
            },
            50ms);
        sendDeleteWindow(display, zoom->window);
        zavio.waitForUnmap(display, zoom->window, 5s, "closing of the zoom window opened by " + what);
        return zoom->title;
    }

    // Closes the one message box of the program's name over the rotation
    // window with the Return key, as a user reads and dismisses it.
    void dismissMessageBox(const TitledWindow& rotation, const std::string& which)
    {
        std::optional<TitledWindow> box;
        zavio.waitUntil(
            10s, which + " message box over the rotation window",
            [&]() -> std::optional<std::string> {
                const std::vector<TitledWindow> boxes = topLevelsTitled(display, kMainTitle);
                if (boxes.size() != 1)
                    return std::to_string(boxes.size()) + " boxes; " + describeTopLevels(display);
                box = boxes.front();
                if (transientFor(display, box->window) != rotation.window)
                    return std::string("the box does not belong to the rotation window (WM_TRANSIENT_FOR)");
                if (!isDrawn(grabWindow(display, box->window)))
                    return std::string("the box is not drawn yet");
                return std::nullopt;
            },
            50ms);
        shoot(grabScreen(display, rootRect(display, rotation.window) | rootRect(display, box->window)),
              "-rotation-box-" + which);
        pressKey(display, box->window, kReturnKey);
        zavio.waitForUnmap(display, box->window, 5s, "closing of the " + which + " message box by the Return key");
    }

    // Opened on the tall picture and closed by its own menu: rotation mode
    // ends. Returns the status bar shown for the tall picture.
    QImage openAndCloseOnTheTallPicture(const QImage& tall)
    {
        const auto start = Clock::now();
        tickRotationMode();
        const TitledWindow firstRotation = openRotation(kTallRow, kTallName);
        waitForPreview(firstRotation, tall, kTallName);
        const QImage tallStatus = statusBar(firstRotation);
        if (!isDrawn(tallStatus))
            throw Failure("the rotation window's status bar shows no text" + zavio.output());
        shoot(grabWindow(display, firstRotation.window), "-rotation-tall");
        chooseMenuItem(zavio, display, firstRotation.window, kFirstMenuTitle, kCloseRotation, kMenuItems, "閉じる(&C)");
        zavio.waitForUnmap(display, firstRotation.window, 5s, "closing of the rotation window by 閉じる(&C)");
        expectModes(false, false, "after the rotation window closed");
        std::printf("rotation window on %s previewed, closed by its menu, rotation mode off (%lld ms)\n", kTallName,
                    msSince(start));
        return tallStatus;
    }

    // The rotation window on the wide picture and the result window of its turn.
    struct Turned {
        TitledWindow rotation;
        TitledWindow result;
        int previewTop;
    };

    // Opened on the wide picture and turned right with real menu clicks: the
    // result window shows the quarter turn.
    Turned turnTheWidePictureRight(const QImage& wide, const QImage& tallStatus, const QImage& expectedTurn)
    {
        const auto start = Clock::now();
        tickRotationMode();
        const TitledWindow rotation = openRotation(kWideRow, kWideName);
        const int previewTop = waitForPreview(rotation, wide, kWideName);
        const QImage wideStatus = statusBar(rotation);
        if (wideStatus == tallStatus)
            throw Failure("the status bar shows the same text for 200*150 as for 150*200" + zavio.output());
        shoot(grabWindow(display, rotation.window), "-rotation-wide");
        chooseMenuItem(zavio, display, rotation.window, kFirstMenuTitle, kTurnRight, kMenuItems, "右９０度(&R)");
        const TitledWindow result = waitForTopLevel(kResultTitle, "after 右９０度(&R)");
        moveAside(result, rotation);
        zavio.waitUntil(
            10s, "turned picture in the result window",
            [&]() -> std::optional<std::string> {
                const QImage shot = grabWindow(display, result.window);
                if (shot.isNull())
                    return std::string("the result window could not be read");
                // Inside the scroll box's frame, below the menu bar.
                if (!findImage(shot, expectedTurn, QRect(0, 10, 4, 31), kSamePixels))
                    return "the window does not show the " + sizeText(expectedTurn.size())
                        + " quarter turn with its black frame";
                return std::nullopt;
            },
            50ms);
        shoot(grabScreen(display, rootRect(display, rotation.window) | rootRect(display, result.window)), "-result");
        std::printf("右９０度(&R) showed the %dx%d turn in the result window (%lld ms)\n", expectedTurn.width(),
                    expectedTurn.height(), msSince(start));
        return {rotation, result, previewTop};
    }

    // The main window is blocked: a click on a thumbnail opens nothing.
    // Returns the point of cell 1 clicked.
    QPoint clickTheBlockedThumbnail()
    {
        const auto start = Clock::now();
        const std::optional<QPoint> thumbnail = visiblePoint(display, main.window, cellRect(kWideCell));
        if (!thumbnail)
            throw Failure("cell 1 is hidden by the other windows" + zavio.output());
        const std::vector<TitledWindow> shown = mappedTopLevels(display);
        clickAt(display, main.window, thumbnail->x(), thumbnail->y(), kLeftButton);
        for (const auto quiet = Clock::now() + 700ms; Clock::now() < quiet;) {
            zavio.expectRunning("after a click on the blocked main window");
            const std::vector<TitledWindow> now = mappedTopLevels(display);
            if (now.size() != shown.size())
                throw Failure("a click on cell 1 while the rotation window was open changed the windows: "
                              + describeTopLevels(display) + zavio.output());
            std::this_thread::sleep_for(50ms);
        }
        std::printf("click on a thumbnail of the blocked main window ignored (%lld ms)\n", msSince(start));
        return *thumbnail;
    }

    // The result window works beside the modal rotation window: its overwrite
    // replaces the file and closes it, and the rotation window, active again,
    // reloads the file as saved.
    void overwriteFromTheResultWindow(const Turned& turned, const QString& widePath, const QImage& expectedTurn,
                                      const QImage& tallStatus)
    {
        const TitledWindow& rotation = turned.rotation;
        const auto start = Clock::now();
        chooseMenuItem(zavio, display, turned.result.window, kFirstMenuTitle, kOverwrite, kMenuItems, "上書き保存(&S)");
        zavio.waitForUnmap(display, turned.result.window, 5s, "closing of the result window after 上書き保存(&S)");
        const QImage saved = decodedPicture(widePath);
        if (saved.size() != expectedTurn.size() || meanDifference(saved, saved.rect(), expectedTurn) > kSameJpeg)
            throw Failure("the file after 上書き保存(&S) is " + sizeText(saved.size()) + ", not the turned picture"
                          + zavio.output());
        expectFocus(rotation.window, "focus on the rotation window after the result window closed");
        if (waitForPreview(rotation, saved, "the saved file") != turned.previewTop)
            throw Failure("the reloaded preview moved" + zavio.output());
        zavio.waitUntil(5s, "status bar of a 150*200 picture", [&]() -> std::optional<std::string> {
            if (statusBar(rotation) == tallStatus)
                return std::nullopt;
            return std::string("the status bar differs from the one shown for b_tall.jpg (150*200)");
        });
        shoot(grabWindow(display, rotation.window), "-rotation-reloaded");
        std::printf("上書き保存(&S) wrote the %dx%d turn; the rotation window reloaded it (%lld ms)\n", saved.width(),
                    saved.height(), msSince(start));
    }

    // A return from the result window reloads; the boxes that reload shows
    // are the window's own, and closing them reloads nothing more. Returns
    // the result window, shown again.
    TitledWindow returnFromTheResultWindowToABrokenFile(const TitledWindow& rotation, const QString& widePath)
    {
        const auto start = Clock::now();
        chooseMenuItem(zavio, display, rotation.window, kFirstMenuTitle, kTurnRight, kMenuItems, "右９０度(&R)");
        // Closed windows get a new native window when shown again.
        const TitledWindow shownAgain = waitForTopLevel(kResultTitle, "after 右９０度(&R) on the saved file");
        moveAside(shownAgain, rotation);
        clickAt(display, shownAgain.window, kResultPicturePoint.x(), kResultPicturePoint.y(), kLeftButton);
        expectFocus(shownAgain.window, "focus on the result window after a click on its picture");
        const QByteArray savedBytes = QByteArray::fromStdString(readFile(widePath.toStdString()));
        writeBytes(widePath, QByteArray("\xff\xd8\xff\xe0 cut", 8));
        const std::optional<QPoint> status = visiblePoint(
            display, rotation.window,
            QRect(0, windowState(display, rotation.window).height - kStatusBarHeight, kPreviewWidth, kStatusBarHeight));
        if (!status)
            throw Failure("the rotation window's status bar is hidden" + zavio.output());
        clickAt(display, rotation.window, status->x(), status->y(), kLeftButton);
        dismissMessageBox(rotation, "first");
        dismissMessageBox(rotation, "second");
        // A window manager gives the focus back to the window a closed box
        // belonged to; here the test does.
        giveFocus(display, rotation.window);
        expectFocus(rotation.window, "focus on the rotation window after its message boxes");
        for (const auto quiet = Clock::now() + 1500ms; Clock::now() < quiet;) {
            zavio.expectRunning("after the rotation window's message boxes were closed");
            if (!topLevelsTitled(display, kMainTitle).empty())
                throw Failure("another message box followed: closing the window's own boxes reloaded the picture"
                              + zavio.output());
            std::this_thread::sleep_for(50ms);
        }
        if (!windowState(display, rotation.window).mapped)
            throw Failure("the rotation window closed after its message boxes" + zavio.output());
        // Mended again, so that the page drawn on the next file-list click has
        // nothing to report.
        writeBytes(widePath, savedBytes);
        std::printf("a return from the result window told the broken file in two boxes, and no more (%lld ms)\n",
                    msSince(start));
        return shownAgain;
    }

    // Closed as a window manager closes it: rotation mode is off, the result
    // window stays, and a file-list click opens the zoom window.
    void closeTheRotationWindow(const TitledWindow& rotation, const TitledWindow& result)
    {
        const auto start = Clock::now();
        sendDeleteWindow(display, rotation.window);
        zavio.waitForUnmap(display, rotation.window, 5s, "closing of the rotation window by WM_DELETE_WINDOW");
        expectModes(false, false, "after the rotation window closed");
        shoot(mainShot(), "-modes-off");
        if (!windowState(display, result.window).mapped)
            throw Failure("closing the rotation window closed the result window" + zavio.output());
        const std::string zoomTitle =
            openAndCloseZoom(fileListRowPoint(kTallRow), std::string("a file-list click on ") + kTallName);
        std::printf("rotation window closed, rotation mode off, \"%s\" opened by the file list (%lld ms)\n",
                    zoomTitle.c_str(), msSince(start));
    }
};

// The whole scenario in a folder of its own, on a bare X server or under openbox.
void runRotation(const std::string& program, bool withOpenbox)
{
    const WorkFolder work;
    const QString folder = work.makeFolder(QStringLiteral("pictures"));
    const QString widePath = folder + u'/' + QLatin1String(kWideName);
    const QString tallPath = folder + u'/' + QLatin1String(kTallName);
    writeBytes(widePath, TJPEGImage::encode(bench::makePhoto(1, 200, 150)));
    writeBytes(tallPath, TJPEGImage::encode(bench::makePhoto(2, 150, 200)));
    writeBytes(folder + u'/' + QLatin1String(kOtherName), TJPEGImage::encode(bench::makePhoto(3, 400, 300)));
    const QImage wide = decodedPicture(widePath);
    const QImage tall = decodedPicture(tallPath);
    const QImage expectedTurn = turnedRight(widePath);

    XSession session(work.logs());
    Display* display = session.display();
    const std::unique_ptr<ChildProcess> openbox = withOpenbox ? startOpenbox(session, work.logs()) : nullptr;
    ProgramUnderTest zavio(session, program, folder.toStdString(), work.logs());
    RotationScene scene(zavio, display);
    scene.waitForThumbnails(3);
    scene.expectModes(false, false, "at start");

    const QImage tallStatus = scene.openAndCloseOnTheTallPicture(tall);
    const RotationScene::Turned turned = scene.turnTheWidePictureRight(wide, tallStatus, expectedTurn);
    const QPoint thumbnail = scene.clickTheBlockedThumbnail();
    scene.overwriteFromTheResultWindow(turned, widePath, expectedTurn, tallStatus);
    const TitledWindow shownAgain = scene.returnFromTheResultWindowToABrokenFile(turned.rotation, widePath);
    scene.closeTheRotationWindow(turned.rotation, shownAgain);

    // The click ignored above was on a live thumbnail: now it opens its picture.
    const auto start = Clock::now();
    const std::string cellZoomTitle = scene.openAndCloseZoom(thumbnail, "a click on cell 1");
    zavio.expectRunning("at the end");
    std::printf("the same click on cell 1 now opened \"%s\" (%lld ms)\n", cellZoomTitle.c_str(), msSince(start));
}

} // namespace

// The coming back from the result window is told by the windows themselves,
// not read off the focus, so the scenario holds under a window manager too.
void rotationScenario(const std::string& program)
{
    std::printf("without a window manager:\n");
    runRotation(program, false);
    if (openboxInstalled()) {
        std::printf("under openbox:\n");
        runRotation(program, true);
    } else {
        std::printf("openbox is not installed: the run under a window manager is left out\n");
    }
}

} // namespace zavio::e2e
