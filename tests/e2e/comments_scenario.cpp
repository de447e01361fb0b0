// The comment windows: in a folder of three pictures whose coment.txt (in
// Shift-JIS) holds a comment on a.jpg, a click on the name under a.jpg's
// thumbnail opens the viewer with the picture and the comment, and a click on
// the picture closes it. Then "コメント処理" is ticked and a click on the name
// under b.jpg opens the editor for a new record; text typed with real key
// presses and a click on "書き込み" append the record to coment.txt byte for
// byte, and both mode boxes are unchecked afterwards. The viewer then shows
// b.jpg's new comment instead of the note that it has none.

#include "BenchPhotos.h"
#include "Scenarios.h"
#include "Scene.h"
#include "imaging/JpegCodec.h"
#include "support/ChildProcess.h"
#include "support/MainWindowLayout.h"
#include "support/Screenshots.h"
#include "support/WorkFolder.h"
#include "support/XSession.h"
#include "support/XWindows.h"

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zavio::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kViewerTitle = "画像参照　（画面クリックで戻ります。）";
constexpr const char* kNewRecordTitle = "コメント作成　";
constexpr int kCommentedCell = 1; // a.jpg
constexpr int kNewCell = 2; // b.jpg
constexpr const char* kTyped = "nice view 42";

// The viewer's picture area and comment area, in its client area.
const QRect kViewerPicture(0, 0, 571, 421);
const QRect kViewerComment(10, 450, 551, 131);
// The editor's "書き込み" button.
const QRect kWriteButton(496, 178, 81, 31);

// a.jpg's record as the editor of a Shift-JIS system writes it: the key,
// "海辺の夕焼け" and a line of twenty "■", then the terminator.
QByteArray preparedComments()
{
    QByteArray record("a.jpg\r\n");
    record += QByteArray("\x8a\x43\x95\xd3\x82\xcc\x97\x5b\x8f\xc4\x82\xaf") + "\r\n";
    for (int i = 0; i < 20; ++i)
        record += "\x81\xa1";
    return record + '\x0e';
}

// The rows of the comment area with at least minimum dark pixels.
std::vector<int> inkedRows(const QImage& shot, int minimum)
{
    std::vector<int> rows;
    for (int y = kViewerComment.top() + 2; y < kViewerComment.bottom() - 2; ++y) {
        int dark = 0;
        for (int x = kViewerComment.left() + 2; x < kViewerComment.right() - 20; ++x)
            dark += qGray(shot.pixel(x, y)) < 128;
        if (dark >= minimum)
            rows.push_back(y);
    }
    return rows;
}

// What is wrong with the viewer's comment area, if anything: a blank first
// line, the line of text, then at least eight rows crossing the twenty squares,
// which no line of text fills so.
std::optional<std::string> checkPreparedComment(const QImage& shot)
{
    const std::vector<int> inked = inkedRows(shot, 3);
    const std::vector<int> squares = inkedRows(shot, 200);
    if (squares.size() < 8)
        return "only " + std::to_string(squares.size()) + " rows cross a line of squares";
    if (inked.empty() || inked.front() >= squares.front() - 4)
        return std::string("no line of text stands above the squares");
    if (inked.front() < kViewerComment.top() + 16)
        return "the comment's first line is not blank: ink at row " + std::to_string(inked.front());
    return std::nullopt;
}

// The comment windows' own steps.
struct CommentScene : Scene {
    using Scene::Scene;

    void clickLabel(int cell)
    {
        const QPoint label = labelRect(cell).center();
        clickAt(display, main.window, label.x(), label.y(), kLeftButton);
    }

    // Opens the viewer with a click on the cell's name and waits until it
    // shows picture at its own size and a drawn comment area; returns what
    // it shows, once it has checked it with check.
    QImage openViewer(int cell, const QImage& picture, const std::string& name, const std::string& shotName,
                      const std::function<std::optional<std::string>(const QImage&)>& check)
    {
        clickLabel(cell);
        const TitledWindow viewer = waitForTopLevel(kViewerTitle, "after a click on the name " + name);
        QImage shot;
        zavio.waitUntil(
            10s, "viewer of " + name,
            [&]() -> std::optional<std::string> {
                shot = grabWindow(display, viewer.window);
                if (shot.isNull())
                    return std::string("the viewer could not be read");
                if (!findImage(shot, picture, QRect(0, 0, 1, 1), kSamePixels))
                    return std::string("the picture is not drawn at its own size in the top-left corner");
                for (const QPoint& silver : {QPoint(picture.width() + 5, 5), QPoint(5, picture.height() + 5),
                                             kViewerPicture.bottomRight() - QPoint(2, 2)})
                    if (shot.pixel(silver) != kSilver)
                        return "the picture area is not silver at " + std::to_string(silver.x()) + ","
                            + std::to_string(silver.y());
                return check(shot);
            },
            50ms);
        shoot(shot, "-viewer-" + shotName);
        // A click on the picture closes it.
        clickAt(display, viewer.window, picture.width() / 2, picture.height() / 2, kLeftButton);
        zavio.waitForUnmap(display, viewer.window, 5s, "closing of the viewer by a click on its picture");
        return shot.copy(kViewerComment);
    }
};

} // namespace

void commentsScenario(const std::string& program)
{
    const WorkFolder work;
    const QString folder = work.makeFolder(QStringLiteral("pictures"));
    const QStringList names = {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")};
    writeBytes(folder + QStringLiteral("/a.jpg"), TJPEGImage::encode(bench::makePhoto(4, 400, 300)));
    writeBytes(folder + QStringLiteral("/b.jpg"), TJPEGImage::encode(bench::makePhoto(5, 300, 400)));
    writeBytes(folder + QStringLiteral("/c.jpg"), TJPEGImage::encode(bench::makePhoto(6, 320, 240)));
    const QString comments = folder + QStringLiteral("/coment.txt");
    const QByteArray prepared = preparedComments();
    writeBytes(comments, prepared);
    const QImage commented = decodedPicture(folder + QStringLiteral("/a.jpg"));
    const QImage uncommented = decodedPicture(folder + QStringLiteral("/b.jpg"));

    XSession session(work.logs());
    Display* display = session.display();
    ProgramUnderTest zavio(session, program, folder.toStdString(), work.logs());
    CommentScene scene(zavio, display);
    scene.waitForThumbnails(3);
    scene.expectModes(false, false, "at start");

    // The viewer shows a.jpg's comment from the Shift-JIS file.
    auto start = Clock::now();
    scene.openViewer(kCommentedCell, commented, "a.jpg", "a", checkPreparedComment);
    std::printf("viewer showed a.jpg with its Shift-JIS comment and closed on a click (%lld ms)\n", msSince(start));
    start = Clock::now();
    const QImage noComment = scene.openViewer(kNewCell, uncommented, "b.jpg", "b", [](const QImage& shot) {
        return inkedRows(shot, 3).empty() ? std::optional<std::string>("the comment area is empty") : std::nullopt;
    });
    std::printf("viewer showed b.jpg and the note that it has no comment (%lld ms)\n", msSince(start));

    // Comment mode: the editor writes a new record for b.jpg.
    start = Clock::now();
    const QPoint box = checkBoxPoint(commentBoxRect());
    clickAt(display, scene.main.window, box.x(), box.y(), kLeftButton);
    scene.expectModes(true, false, "after a click on コメント処理");
    scene.clickLabel(kNewCell);
    const TitledWindow editor = scene.waitForTopLevel(kNewRecordTitle, "after a click on b.jpg in comment mode");
    zavio.waitUntil(5s, "drawn editor", [&]() -> std::optional<std::string> {
        if (isDrawn(grabWindow(display, editor.window)))
            return std::nullopt;
        return std::string("the editor is not drawn yet");
    });
    typeText(display, editor.window, kTyped);
    zavio.waitUntil(5s, "typed text in the editor", [&]() -> std::optional<std::string> {
        // The typed line shows below the key name's line.
        const QImage shot = grabWindow(display, editor.window);
        int dark = 0;
        for (int y = 16 + 20; y < 16 + 40; ++y)
            for (int x = 8; x < 8 + 200; ++x)
                dark += qGray(shot.pixel(x, y)) < 128;
        if (dark >= 60)
            return std::nullopt;
        return "the text area's second line holds " + std::to_string(dark) + " dark pixels";
    });
    scene.shoot(grabWindow(display, editor.window), "-editor");
    const QPoint write = kWriteButton.center();
    clickAt(display, editor.window, write.x(), write.y(), kLeftButton);
    zavio.waitForUnmap(display, editor.window, 5s, "closing of the editor after 書き込み");
    const QByteArray expected = prepared + "b.jpg\r\n" + kTyped + '\x0e';
    zavio.waitUntil(5s, "the new record in coment.txt", [&]() -> std::optional<std::string> {
        const QByteArray now = QByteArray::fromStdString(readFile(comments.toStdString()));
        if (now == expected)
            return std::nullopt;
        return "coment.txt holds " + std::to_string(now.size()) + " bytes ending in \""
            + now.right(24).toPercentEncoding(" ").toStdString() + "\", expected " + std::to_string(expected.size())
            + " ending in \"" + expected.right(24).toPercentEncoding(" ").toStdString() + "\"";
    });
    scene.expectModes(false, false, "after the editor closed");
    scene.shoot(scene.mainShot(), "-comment-mode-off");
    const QStringList left = QDir(folder).entryList(QDir::Files, QDir::Name);
    if (left != names + QStringList{QStringLiteral("coment.txt")})
        throw Failure("the folder holds " + left.join(u' ').toStdString() + " after the editor closed"
                      + zavio.output());
    std::printf("editor wrote \"b.jpg\\r\\n%s\\x0e\" to coment.txt; both modes off (%lld ms)\n", kTyped,
                msSince(start));

    // The viewer now shows b.jpg's comment instead of the note.
    start = Clock::now();
    const auto newComment = [&](const QImage& shot) -> std::optional<std::string> {
        if (shot.copy(kViewerComment) == noComment)
            return std::string("the comment area still shows what it showed without a comment");
        if (inkedRows(shot, 3).empty())
            return std::string("the comment area is empty");
        return std::nullopt;
    };
    scene.openViewer(kNewCell, uncommented, "b.jpg", "b-written", newComment);
    zavio.expectRunning("at the end");
    std::printf("viewer showed b.jpg's new comment (%lld ms)\n", msSince(start));
}

} // namespace zavio::e2e
