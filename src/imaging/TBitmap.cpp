#include "imaging/TBitmap.h"

#include "imaging/PictureError.h"
#include "imaging/PictureLimits.h"

#include <cstring>

namespace zavio {

namespace {

[[noreturn]] void throwOutOfMemory(int width, int height)
{
    throw PictureError(QStringLiteral("画像のためのメモリが足りません（%1 × %2 ピクセル）。").arg(width).arg(height));
}

} // namespace

TBitmap::TBitmap(int width, int height)
{
    checkPictureSize(width, height);
    image_ = QImage(width, height, QImage::Format_BGR888);
    if (image_.isNull())
        throwOutOfMemory(width, height);
    fill(0, 0, 0);
}

void TBitmap::reshapeForOverwrite(int width, int height)
{
    if (!image_.isNull() && image_.width() == width && image_.height() == height && image_.isDetached())
        return;
    checkPictureSize(width, height);
    image_ = QImage(); // the old buffer goes before the new one is taken
    image_ = QImage(width, height, QImage::Format_BGR888);
    if (image_.isNull())
        throwOutOfMemory(width, height);
}

void TBitmap::setPixel(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    Q_ASSERT(x >= 0 && x < width() && y >= 0 && y < height());
    std::uint8_t* p = image_.scanLine(y) + 3 * qsizetype(x);
    p[0] = blue;
    p[1] = green;
    p[2] = red;
}

QRgb TBitmap::pixel(int x, int y) const
{
    Q_ASSERT(x >= 0 && x < width() && y >= 0 && y < height());
    const std::uint8_t* p = image_.constScanLine(y) + 3 * qsizetype(x);
    return qRgb(p[2], p[1], p[0]);
}

void TBitmap::fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    if (image_.isNull())
        return;
    // One row is written pixel by pixel, the others are copies of it.
    std::uint8_t* first = image_.scanLine(0);
    const qsizetype rowBytes = 3 * qsizetype(width());
    for (qsizetype i = 0; i < rowBytes; i += 3) {
        first[i] = blue;
        first[i + 1] = green;
        first[i + 2] = red;
    }
    for (int y = 1; y < height(); ++y)
        std::memcpy(image_.scanLine(y), first, size_t(rowBytes));
}

bool TBitmap::samePixels(const TBitmap& other) const
{
    if (width() != other.width() || height() != other.height())
        return false;
    const std::size_t rowBytes = 3 * std::size_t(width());
    for (int y = 0; y < height(); ++y)
        if (std::memcmp(scanLine(y), other.scanLine(y), rowBytes) != 0)
            return false;
    return true;
}

TBitmap TBitmap::fromImage(const QImage& image)
{
    TBitmap result;
    if (image.isNull())
        return result;
    checkPictureSize(image.width(), image.height());

    // A picture with an alpha channel shows its colour as stored, the alpha
    // ignored, as a 24-bit file of the same colours would. RGB32 keeps each
    // pixel's colour bytes unchanged and only marks the alpha as unused.
    QImage opaque = image;
    if (image.hasAlphaChannel()) {
        opaque = image.convertToFormat(QImage::Format_ARGB32);
        if (opaque.isNull() || !opaque.reinterpretAsFormat(QImage::Format_RGB32))
            throwOutOfMemory(image.width(), image.height());
    }
    result.image_ = opaque.convertToFormat(QImage::Format_BGR888);
    if (result.image_.isNull())
        throwOutOfMemory(image.width(), image.height());
    return result;
}

} // namespace zavio
