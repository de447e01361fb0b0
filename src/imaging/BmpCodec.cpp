#include "imaging/BmpCodec.h"

#include "imaging/DecodeCancel.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLimits.h"

#include <QBuffer>
#include <QImageReader>

#include <cstdlib>
#include <cstring>

namespace zavio {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;

void putU16(char* p, std::uint16_t v)
{
    p[0] = char(v & 0xff);
    p[1] = char(v >> 8);
}

void putU32(char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xff);
}

std::int32_t getI32(QByteArrayView data, qsizetype at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(data[at + i]);
    return std::int32_t(v);
}

// Qt refuses a header of more than 16384 x 16384 pixels without saying why;
// such a size, read here from the info header, gets the usual size message.
void refuseTooLargeHeader(QByteArrayView data)
{
    if (data.size() < kFileHeaderSize + kInfoHeaderSize || !data.startsWith("BM")
        || getI32(data, kFileHeaderSize) < kInfoHeaderSize)
        return;
    const std::int64_t width = getI32(data, kFileHeaderSize + 4);
    const std::int64_t height = std::abs(std::int64_t(getI32(data, kFileHeaderSize + 8)));
    if (width > 0 && height > 0)
        checkPictureSize(width, height);
}

// Qt's BMP reader over the caller's bytes, which it reads without copying them.
class BmpSource {
public:
    explicit BmpSource(QByteArrayView data)
        : bytes_(QByteArray::fromRawData(data.data(), data.size())), buffer_(&bytes_)
    {
        buffer_.open(QIODevice::ReadOnly);
        reader_.setDevice(&buffer_);
        reader_.setFormat("bmp");
        reader_.setAutoDetectImageFormat(false);
    }
    QImageReader& reader() { return reader_; }

private:
    QByteArray bytes_;
    QBuffer buffer_;
    QImageReader reader_;
};

} // namespace

QSize bmpHeaderSize(QByteArrayView data)
{
    BmpSource source(data);
    return source.reader().size();
}

TBitmap decodeBmp(QByteArrayView data)
{
    if (data.isEmpty())
        throw PictureError(QStringLiteral("BMP を読めません: データが空です（0 バイト）。"));

    BmpSource source(data);
    QImageReader& reader = source.reader();
    // Qt gives the height as stored: negative for a top-down file.
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() == 0) {
        refuseTooLargeHeader(data);
        throw PictureError(QStringLiteral("BMP の形式が正しくありません（ヘッダーを読めません）。"));
    }
    const std::int64_t height = std::abs(std::int64_t(size.height()));
    checkPictureSize(size.width(), height);

    // Qt leaves pixels it has no data for (a short file, RLE skips) as they
    // were; handing it a black picture of the format it will use keeps them black.
    QImage image(size.width(), int(height), reader.imageFormat());
    if (!image.isNull())
        image.fill(0);
    // Qt reads the rows in one call, so a cancelled decode stops around it.
    stopIfDecodeCancelled();
    if (!reader.read(&image))
        throw PictureError(QStringLiteral("BMP を読めません: %1").arg(reader.errorString()));
    stopIfDecodeCancelled();
    return TBitmap::fromImage(image);
}

QByteArray encodeBmp24(const TBitmap& bitmap)
{
    if (bitmap.isEmpty())
        throw PictureError(QStringLiteral("空の画像は BMP に書き出せません。"));

    // Rows are stored bottom-up, each padded to a multiple of four bytes. The
    // largest picture allowed stays far below the 4 GiB the header can state.
    const int width = bitmap.width();
    const int height = bitmap.height();
    const qsizetype rowBytes = 3 * qsizetype(width);
    const qsizetype stride = (rowBytes + 3) & ~qsizetype(3);
    const qsizetype pixelBytes = stride * height;
    const qsizetype offset = kFileHeaderSize + kInfoHeaderSize;

    QByteArray file(offset + pixelBytes, '\0');
    char* p = file.data();
    p[0] = 'B';
    p[1] = 'M';
    putU32(p + 2, std::uint32_t(file.size()));
    putU32(p + 10, std::uint32_t(offset));
    char* info = p + kFileHeaderSize;
    putU32(info + 0, kInfoHeaderSize);
    putU32(info + 4, std::uint32_t(width));
    putU32(info + 8, std::uint32_t(height)); // positive: bottom-up
    putU16(info + 12, 1); // planes
    putU16(info + 14, 24); // bits per pixel
    putU32(info + 16, 0); // BI_RGB, no compression
    putU32(info + 20, std::uint32_t(pixelBytes));
    putU32(info + 24, 2835); // 72 dpi in pixels per metre
    putU32(info + 28, 2835);

    char* pixels = p + offset;
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels + qsizetype(height - 1 - y) * stride, bitmap.scanLine(y), size_t(rowBytes));
    return file;
}

} // namespace zavio
