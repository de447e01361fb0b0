#pragma once

#include "support/XSession.h"
#include "support/XTypes.h"
#include "support/XWindows.h"

#include <QImage>
#include <QString>

#include <string>

namespace zavio::e2e {

// What the scenarios that go from window to window share: the program, its
// display, its main window and where screenshots go.
struct Scene {
    ProgramUnderTest& zavio;
    Display* display;
    TitledWindow main;
    std::string shots;

    // Waits for the main window; screenshots go where ZAVIO_E2E_SHOT asks.
    Scene(ProgramUnderTest& program, Display* display);

    // Saves shot with suffix added to the requested path, if one was.
    void shoot(const QImage& shot, const std::string& suffix) const;
    QImage mainShot() const;
    // Waits until cells 1 to count show pictures.
    void waitForThumbnails(int count);
    // Waits until the main window's mode boxes "コメント処理" and "９０度回転"
    // are checked as given.
    void expectModes(bool comment, bool rotation, const std::string& when);
    // Waits for the one mapped top-level window titled title.
    TitledWindow waitForTopLevel(const std::string& title, const std::string& when);
};

// The picture in the file as the program decodes it; throws when it cannot.
QImage decodedPicture(const QString& path);
// The program draws a picture unscaled with at most this mean difference per
// colour channel from decodedPicture (or from its own turn of it).
constexpr double kSamePixels = 1.0;

} // namespace zavio::e2e
