#include "Scene.h"

#include "imaging/FilePath.h"
#include "imaging/PictureLoader.h"
#include "imaging/TBitmap.h"
#include "support/MainWindowLayout.h"
#include "support/Screenshots.h"

#include <optional>
#include <vector>

namespace zavio::e2e {

using namespace std::chrono_literals;

Scene::Scene(ProgramUnderTest& program, Display* display)
    : zavio(program),
      display(display),
      main(program.waitForWindow(display, 20s, "main window", isMainWindowTitle)),
      shots(requestedShotPath())
{}

void Scene::shoot(const QImage& shot, const std::string& suffix) const
{
    if (!shots.empty() && !shot.isNull())
        saveShot(shot, shotPath(shots, suffix));
}

QImage Scene::mainShot() const
{
    return grabWindow(display, main.window);
}

void Scene::waitForThumbnails(int count)
{
    zavio.waitUntil(
        15s, std::to_string(count) + " thumbnails",
        [&]() -> std::optional<std::string> {
            const QImage shot = mainShot();
            for (int cell = 1; cell <= count; ++cell)
                if (shot.isNull() || shot.pixel(cellRect(cell).center()) == kSilver)
                    return "cell " + std::to_string(cell) + " shows no picture yet";
            return std::nullopt;
        },
        100ms);
}

void Scene::expectModes(bool comment, bool rotation, const std::string& when)
{
    zavio.waitUntil(5s, "expected mode boxes " + when, [&]() -> std::optional<std::string> {
        const QImage shot = mainShot();
        if (shot.isNull())
            return std::string("the main window could not be read");
        const int commentMark = checkMarkPixels(shot, commentBoxRect());
        const int rotationMark = checkMarkPixels(shot, rotationBoxRect());
        if ((commentMark > 0) == comment && (rotationMark > 0) == rotation)
            return std::nullopt;
        return "the check marks have " + std::to_string(commentMark) + " and " + std::to_string(rotationMark)
            + " dark pixels, expected コメント処理 " + (comment ? "checked" : "unchecked") + ", ９０度回転 "
            + (rotation ? "checked" : "unchecked");
    });
}

TitledWindow Scene::waitForTopLevel(const std::string& title, const std::string& when)
{
    std::optional<TitledWindow> found;
    zavio.waitUntil(
        10s, "window \"" + title + "\" " + when,
        [&]() -> std::optional<std::string> {
            const std::vector<TitledWindow> windows = topLevelsTitled(display, title);
            if (windows.size() != 1)
                return describeTopLevels(display);
            found = windows.front();
            return std::nullopt;
        },
        50ms);
    return *found;
}

QImage decodedPicture(const QString& path)
{
    TBitmap bitmap;
    if (!loadPicture(FilePath(path), bitmap))
        throw Failure("cannot decode " + path.toStdString());
    return bitmap.image().convertToFormat(QImage::Format_RGB32);
}

} // namespace zavio::e2e
