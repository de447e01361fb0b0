#pragma once

// The rotation written step by step in its plainest form, kept as the
// reference that the fast rotation must equal pixel for pixel. "Extended" is
// the x87 80-bit long double, "single" a float store and "double" a double
// store; π is the double 3.141592653589793 and 1/180 the extended 1.0L / 180.
// Every channel sample goes through the picture's accessor, which fetches the
// row again, and every target pixel is one set-pixel call. Only sin t and
// cos t are taken once, as their values do not change inside the loops.

#include "imaging/TBitmap.h"
#include "rotation/TPixelImage.h"

#include <QSize>

#include <cmath>
#include <cstdint>

namespace zavio::literal {

inline double radians(float angle)
{
    return double(static_cast<long double>(angle) * static_cast<long double>(3.141592653589793) * (1.0L / 180));
}

inline QSize rotatedSize(const TPixelImage& image, float angle)
{
    float a = angle;
    if (a > 180)
        a = a - 180;
    if (a > 90)
        a = 180 - a;
    const double r = radians(a);
    const long double w = std::cos(static_cast<long double>(r)) * image.Width()
        + std::sin(static_cast<long double>(r)) * image.Height();
    const long double h = std::sin(static_cast<long double>(r)) * image.Width()
        + std::cos(static_cast<long double>(r)) * image.Height();
    return {int(std::trunc(w)), int(std::trunc(h))};
}

// u (the row) and v (the column) of target pixel x, y relative to both centres.
struct Coordinates {
    float u;
    float v;
};

inline Coordinates coordinates(long double sinT, long double cosT, int x, int y)
{
    return {float(sinT * x + cosT * y), float(cosT * x - sinT * y)};
}

// Target rows firstRow .. endRow - 1 (counted from the top, 0 .. 2 * H2 - 1)
// of image turned by angle; target has the size rotatedSize gives.
inline void rotateRows(const TPixelImage& image, float angle, TBitmap& target, int firstRow, int endRow)
{
    const QSize size = rotatedSize(image, angle);
    const std::int64_t cx = image.Width() / 2;
    const std::int64_t cy = image.Height() / 2;
    const int W2 = size.width() / 2;
    const int H2 = size.height() / 2;
    const double t = radians(angle);
    const long double sinT = std::sin(static_cast<long double>(t));
    const long double cosT = std::cos(static_cast<long double>(t));

    for (int y = -H2 + firstRow; y <= H2 - 1 && y < -H2 + endRow; ++y) {
        for (int x = -W2; x <= W2 - 1; ++x) {
            const Coordinates c = coordinates(sinT, cosT, x, y);
            const float u = c.u;
            const float v = c.v;
            const std::int64_t B = u > 0 ? std::int64_t(std::trunc(u)) : std::int64_t(std::trunc(static_cast<long double>(u) - 1));
            const std::int64_t C = v > 0 ? std::int64_t(std::trunc(v)) : std::int64_t(std::trunc(static_cast<long double>(v) - 1));
            const float fr = float(static_cast<long double>(u) - B);
            const float fc = float(static_cast<long double>(v) - C);
            const int D = x + W2;
            const int E = y + H2;
            const std::int64_t sr = B + cy;
            const std::int64_t sc = C + cx;
            if (sr < 0 || sr >= std::int64_t(image.Height()) - 1 || sc < 0 || sc >= std::int64_t(image.Width()) - 1) {
                target.setPixel(D, E, 0, 0, 0);
                continue;
            }
            const auto column = std::uint32_t(sc);
            const auto row = std::uint32_t(sr);
            const auto blend = [&](std::uint8_t (TPixelImage::*P)(std::uint32_t, std::uint32_t) const) {
                const long double value = (1 - static_cast<long double>(fr))
                        * ((1 - static_cast<long double>(fc)) * (image.*P)(column, row)
                            + static_cast<long double>(fc) * (image.*P)(column + 1, row))
                    + static_cast<long double>(fr)
                        * ((1 - static_cast<long double>(fc)) * (image.*P)(column, row + 1)
                            + static_cast<long double>(fc) * (image.*P)(column + 1, row + 1));
                return std::uint32_t(std::trunc(value));
            };
            const std::uint32_t red = blend(&TPixelImage::RedAt);
            const std::uint32_t green = blend(&TPixelImage::GreenAt);
            const std::uint32_t blue = blend(&TPixelImage::BlueAt);
            const std::uint32_t colour = blue * 65536 + green * 256 + red;
            target.setPixel(D, E, std::uint8_t(colour & 0xff), std::uint8_t((colour >> 8) & 0xff),
                std::uint8_t((colour >> 16) & 0xff));
        }
    }
}

inline void rotateImage(const TPixelImage& image, float angle, TBitmap& target)
{
    rotateRows(image, angle, target, 0, target.height());
}

} // namespace zavio::literal
