// The modal windows stay above the window they are modal over. In a folder of
// two pictures, a.jpg with a comment, each modal window is opened with real
// clicks: the zoom window, the help window, the comment viewer, the comment
// editor with its comment help over it, and the rotation window, and then the
// result window, which is not modal, over the rotation window. Each must name
// the window it belongs to in WM_TRANSIENT_FOR, and a click on the window a
// modal one blocks, where the modal one leaves it uncovered, must leave the
// modal one above it in the stack; under a window manager, so must the window
// manager's raising of that window when the user turns to it from a task bar.
// All of it runs twice: on a bare X server and under openbox.

#include "BenchPhotos.h"
#include "Scenarios.h"
#include "Scene.h"
#include "imaging/JpegCodec.h"
#include "support/ChildProcess.h"
#include "support/MainWindowLayout.h"
#include "support/Menus.h"
#include "support/WorkFolder.h"
#include "support/XSession.h"
#include "support/XWindows.h"

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zavio::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kZoomTitle = "サイズ＝200*150";
constexpr const char* kHelpTitle = "操作説明（ヘルプ）";
constexpr const char* kViewerTitle = "画像参照　（画面クリックで戻ります。）";
constexpr const char* kEditorTitle = "コメント編集・削除　a.jpg";
constexpr const char* kCommentHelpTitle = "Form5";
constexpr const char* kRotationTitle = "画像回転処理";
constexpr const char* kResultTitle = "結果";
// The rotation window's menu "回転": its first of three commands.
constexpr int kRotationMenuItems = 3;
constexpr int kTurnRight = 0;
// The main window's "操作説明" and the editor's "説明".
const QRect kHelpButton(730, 10, 94, 31);
const QRect kCommentHelpButton(514, 106, 51, 31);

struct ModalScene : Scene {
    using Scene::Scene;
    std::string setting;
    bool underWindowManager = false;

    // Clicks (x, y) of the main window's client area.
    void clickMain(const QPoint& point) { clickThroughFrame(display, main.window, point.x(), point.y(), kLeftButton); }

    TitledWindow waitFor(const std::string& title, const std::string& when)
    {
        return zavio.waitForWindow(display, 10s, "window \"" + title + "\" " + when,
                                   [&](const std::string& seen) { return seen == title; });
    }

    // The window names owner as the window it belongs to (WM_TRANSIENT_FOR).
    void expectBelongsTo(const TitledWindow& window, const TitledWindow& owner, const std::string& pair)
    {
        if (const Window named = transientFor(display, window.window); named != owner.window)
            throw Failure("WM_TRANSIENT_FOR of " + pair + " names window " + std::to_string(named)
                          + ", not the window it belongs to, " + std::to_string(owner.window) + zavio.output());
    }

    // The modal window belongs to owner, and stays above it when the user
    // clicks owner where the modal window leaves it uncovered.
    void expectAbove(const TitledWindow& modal, const TitledWindow& owner)
    {
        const std::string pair = "\"" + modal.title + "\" over \"" + owner.title + "\" (" + setting + ")";
        expectBelongsTo(modal, owner, pair);
        const Window frame = topLevelOf(display, owner.window);
        const QRect client = rootRect(display, owner.window).translated(-rootRect(display, frame).topLeft());
        const std::optional<QPoint> point = visiblePoint(display, frame, client);
        if (!point)
            throw Failure("nothing of \"" + owner.title + "\" is left uncovered to click (" + setting + ")"
                          + zavio.output());
        clickAt(display, frame, point->x(), point->y(), kLeftButton);
        expectStillAbove(modal, owner, "a click on the blocked window", pair);
        if (underWindowManager) {
            // Turning to the blocked window from a task bar has the window
            // manager raise it; its modal window must come along.
            requestActivation(display, owner.window);
            expectStillAbove(modal, owner, "activating the blocked window from a task bar", pair);
        }
        std::printf("%s: named in WM_TRANSIENT_FOR and still above after a click\n", pair.c_str());
    }

    void expectStillAbove(const TitledWindow& modal, const TitledWindow& owner, const std::string& after,
                          const std::string& pair)
    {
        std::this_thread::sleep_for(500ms);
        zavio.expectRunning("after " + after + ", " + pair);
        const int modalAt = stackingIndex(display, modal.window);
        const int ownerAt = stackingIndex(display, owner.window);
        if (modalAt <= ownerAt)
            throw Failure("after " + after + " the modal window is below it: " + pair + ", stack places "
                          + std::to_string(modalAt) + " and " + std::to_string(ownerAt) + zavio.output());
        if (!windowState(display, modal.window).mapped)
            throw Failure(after + " hid " + pair + zavio.output());
    }

    void close(const TitledWindow& window)
    {
        sendDeleteWindow(display, window.window);
        zavio.waitForUnmap(display, window.window, 5s, "closing of \"" + window.title + "\"");
    }

    // Opens a window modal over the main window with a click at point of the
    // main window, checks it and closes it.
    void checkOverMain(const QPoint& point, const std::string& title)
    {
        clickMain(point);
        const TitledWindow modal = waitFor(title, "after a click on the main window");
        expectAbove(modal, main);
        close(modal);
    }
};

void runModalWindows(const std::string& program, const QString& folder, const std::string& logs, bool withOpenbox)
{
    XSession session(logs);
    Display* display = session.display();
    const std::unique_ptr<ChildProcess> openbox = withOpenbox ? startOpenbox(session, logs) : nullptr;
    ProgramUnderTest zavio(session, program, folder.toStdString(), logs);
    ModalScene scene(zavio, display);
    scene.setting = withOpenbox ? "under openbox" : "without a window manager";
    scene.underWindowManager = withOpenbox;
    scene.waitForThumbnails(2);

    scene.checkOverMain(cellRect(1).center(), kZoomTitle);
    scene.checkOverMain(kHelpButton.center(), kHelpTitle);
    scene.checkOverMain(labelRect(1).center(), kViewerTitle);

    // The editor, and over it its comment help, which belongs to the editor.
    scene.clickMain(checkBoxPoint(commentBoxRect()));
    scene.expectModes(true, false, "after a click on コメント処理");
    scene.clickMain(labelRect(1).center());
    const TitledWindow editor = scene.waitFor(kEditorTitle, "after a click on a.jpg in comment mode");
    scene.expectAbove(editor, scene.main);
    clickThroughFrame(display, editor.window, kCommentHelpButton.center().x(), kCommentHelpButton.center().y(),
                      kLeftButton);
    const TitledWindow help = scene.waitFor(kCommentHelpTitle, "after a click on 説明");
    scene.expectAbove(help, editor);
    scene.close(help);
    scene.close(editor);
    scene.expectModes(false, false, "after the editor closed");

    scene.clickMain(checkBoxPoint(rotationBoxRect()));
    scene.expectModes(false, true, "after a click on ９０度回転");
    scene.clickMain(fileListRowPoint(0));
    const TitledWindow rotation = scene.waitFor(kRotationTitle, "after a file-list click in rotation mode");
    scene.expectAbove(rotation, scene.main);
    // The result window is not modal; it belongs to the rotation window, so
    // that the window manager keeps it with that window, and opens above it.
    chooseMenuItem(zavio, display, rotation.window, kFirstMenuTitle, kTurnRight, kRotationMenuItems, "右９０度(&R)");
    const TitledWindow result = scene.waitFor(kResultTitle, "after 右９０度(&R)");
    const std::string pair = "\"結果\" beside \"画像回転処理\" (" + scene.setting + ")";
    scene.expectBelongsTo(result, rotation, pair);
    scene.expectStillAbove(result, rotation, "opening", pair);
    scene.close(result);
    scene.close(rotation);
    zavio.expectRunning("at the end");
}

} // namespace

void modalWindowsScenario(const std::string& program)
{
    const WorkFolder work;
    const QString folder = work.makeFolder(QStringLiteral("pictures"));
    writeBytes(folder + QStringLiteral("/a.jpg"), TJPEGImage::encode(bench::makePhoto(7, 200, 150)));
    writeBytes(folder + QStringLiteral("/b.jpg"), TJPEGImage::encode(bench::makePhoto(8, 150, 200)));
    writeBytes(folder + QStringLiteral("/coment.txt"), QByteArray("a.jpg\r\nsunset\x0e"));

    const auto start = Clock::now();
    runModalWindows(program, folder, work.makeFolder(QStringLiteral("bare")).toStdString(), false);
    if (openboxInstalled())
        runModalWindows(program, folder, work.makeFolder(QStringLiteral("openbox")).toStdString(), true);
    else
        std::printf("openbox is not installed: the run under a window manager is left out\n");
    std::printf("modal windows checked in %lld ms\n", msSince(start));
}

} // namespace zavio::e2e
