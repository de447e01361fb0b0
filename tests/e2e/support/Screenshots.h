#pragma once

#include "support/XTypes.h"

#include <QImage>
#include <QRect>

#include <string>

namespace zavio::e2e {

// The pixels of area (in the window's coordinates) as the server shows them,
// or a null image when they cannot be read yet. Parts covered by another
// window show that window, as the screen does.
QImage grabWindow(Display* display, Window window, const QRect& area);
// The whole window.
QImage grabWindow(Display* display, Window window);
// A part of the screen, whatever windows it shows.
QImage grabScreen(Display* display, const QRect& area);

bool near(QRgb a, QRgb b, int tolerance);
std::string rgbText(QRgb colour);

// Where ZAVIO_E2E_SHOT asks screenshots to go; empty when it is not set.
std::string requestedShotPath();
// The path with suffix before ".png" (or at the end): "shot.png" → "shot-zoom.png".
std::string shotPath(std::string path, const std::string& suffix);
// Writes a PNG and says where; a failure to write is told but does not fail the test.
void saveShot(const QImage& shot, const std::string& path);

} // namespace zavio::e2e
