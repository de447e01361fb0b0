#include "support/PictureFolder.h"

#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"

#include <QFile>
#include <stdexcept>

namespace zavio::fixtures {

PictureFolder::PictureFolder()
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a temporary folder");
}

QString PictureFolder::filePath(const QString& name) const
{
    return dir_.filePath(name);
}

TBitmap PictureFolder::pattern(int width, int height, int seed)
{
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bitmap.setPixel(x, y, std::uint8_t((x * 255) / std::max(1, width - 1)),
                            std::uint8_t((y * 255) / std::max(1, height - 1)), std::uint8_t((seed * 37) % 256));
        }
    }
    return bitmap;
}

void PictureFolder::writeBytes(const QString& name, const QByteArray& bytes)
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write a test file");
}

void PictureFolder::writeJpeg(const QString& name, int width, int height, int seed)
{
    writeBytes(name, TJPEGImage::encode(pattern(width, height, seed), 90));
}

void PictureFolder::writeBmp(const QString& name, int width, int height, int seed)
{
    writeBytes(name, encodeBmp24(pattern(width, height, seed)));
}

void PictureFolder::writeNumberedJpegs(int count, const QString& prefix, int width, int height)
{
    for (int i = 1; i <= count; ++i)
        writeJpeg(QStringLiteral("%1%2.jpg").arg(prefix).arg(i, 3, 10, QLatin1Char('0')), width, height, i);
}

} // namespace zavio::fixtures
