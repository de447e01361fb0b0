#include "support/Screenshots.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace zavio::e2e {
namespace {

struct XImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

} // namespace

QImage grabWindow(Display* display, Window window, const QRect& area)
{
    if (area.isEmpty())
        return {};
    std::unique_ptr<XImage, XImageDeleter> shot(XGetImage(display, window, area.x(), area.y(), unsigned(area.width()),
                                                          unsigned(area.height()), AllPlanes, ZPixmap));
    if (!shot)
        return {};
    const int redShift = shiftOf(shot->red_mask);
    const int greenShift = shiftOf(shot->green_mask);
    const int blueShift = shiftOf(shot->blue_mask);
    const auto scale = [](unsigned long value, unsigned long mask) {
        const unsigned long top = mask >> shiftOf(mask);
        return top ? int(value * 255 / top) : 0;
    };
    QImage image(area.width(), area.height(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const unsigned long pixel = XGetPixel(shot.get(), x, y);
            line[x] = qRgb(scale((pixel & shot->red_mask) >> redShift, shot->red_mask),
                           scale((pixel & shot->green_mask) >> greenShift, shot->green_mask),
                           scale((pixel & shot->blue_mask) >> blueShift, shot->blue_mask));
        }
    }
    return image;
}

QImage grabWindow(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        return {};
    return grabWindow(display, window, QRect(0, 0, attributes.width, attributes.height));
}

QImage grabScreen(Display* display, const QRect& area)
{
    return grabWindow(display, DefaultRootWindow(display), area);
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool isDrawn(const QImage& image)
{
    if (image.isNull())
        return false;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (image.pixel(x, y) != first)
                return true;
    return false;
}

double meanDifference(const QImage& shot, const QRect& area, const QImage& image, double limit)
{
    const QImage seenImage = shot.convertToFormat(QImage::Format_RGB32);
    const QImage wantedImage = image.convertToFormat(QImage::Format_RGB32);
    const double samples = 3.0 * area.width() * area.height();
    const double stopAt = limit * samples;
    double sum = 0;
    for (int y = 0; y < area.height() && sum <= stopAt; ++y) {
        const auto* seen = reinterpret_cast<const QRgb*>(seenImage.constScanLine(area.top() + y)) + area.left();
        const auto* wanted = reinterpret_cast<const QRgb*>(wantedImage.constScanLine(y));
        for (int x = 0; x < area.width(); ++x)
            sum += std::abs(qRed(seen[x]) - qRed(wanted[x])) + std::abs(qGreen(seen[x]) - qGreen(wanted[x]))
                + std::abs(qBlue(seen[x]) - qBlue(wanted[x]));
    }
    return sum / samples;
}

std::optional<QPoint> findImage(const QImage& shot, const QImage& image, const QRect& origins, double tolerance)
{
    for (int y = origins.top(); y <= origins.bottom(); ++y)
        for (int x = origins.left(); x <= origins.right(); ++x) {
            const QRect area(QPoint(x, y), image.size());
            if (shot.rect().contains(area) && meanDifference(shot, area, image, tolerance) <= tolerance)
                return area.topLeft();
        }
    return std::nullopt;
}

std::string rgbText(QRgb c)
{
    return std::string("(") + std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," + std::to_string(qBlue(c))
        + ")";
}

std::string requestedShotPath()
{
    const char* path = std::getenv("ZAVIO_E2E_SHOT");
    return path ? path : "";
}

std::string shotPath(std::string path, const std::string& suffix)
{
    const std::string extension = ".png";
    if (path.size() >= extension.size()
        && path.compare(path.size() - extension.size(), extension.size(), extension) == 0)
        return path.insert(path.size() - extension.size(), suffix);
    return path + suffix;
}

void saveShot(const QImage& shot, const std::string& path)
{
    if (shot.save(QString::fromStdString(path), "PNG"))
        std::printf("screenshot written to %s\n", path.c_str());
    else
        std::fprintf(stderr, "could not write the screenshot to %s\n", path.c_str());
}

} // namespace zavio::e2e
