#pragma once

#include "support/XTypes.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <limits>
#include <optional>
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
// Whether the image shows more than one colour, that is, has been drawn.
bool isDrawn(const QImage& image);
// The mean difference per colour channel between the area of shot and image
// (of the area's size); stops counting once it is past limit.
double meanDifference(const QImage& shot, const QRect& area, const QImage& image,
                      double limit = std::numeric_limits<double>::max());
// Where within origins (top-left corners to try) shot shows image with a mean
// difference of at most tolerance, or nothing.
std::optional<QPoint> findImage(const QImage& shot, const QImage& image, const QRect& origins, double tolerance);
std::string rgbText(QRgb colour);

// Where ZAVIO_E2E_SHOT asks screenshots to go; empty when it is not set.
std::string requestedShotPath();
// The path with suffix before ".png" (or at the end): "shot.png" → "shot-zoom.png".
std::string shotPath(std::string path, const std::string& suffix);
// Writes a PNG and says where; a failure to write is told but does not fail the test.
void saveShot(const QImage& shot, const std::string& path);

} // namespace zavio::e2e
