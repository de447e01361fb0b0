#pragma once

#include <QImage>
#include <cstdint>

namespace zavio {

// A 24-bit picture: rows of bytes in blue, green, red order, row 0 at the top.
// It wraps a QImage in Format_BGR888, so showing it needs no conversion and
// copies share their pixels until one of them is written.
class TBitmap {
public:
    TBitmap() = default;
    // A picture of the given size, filled black. Throws PictureError when the
    // size is over the limits or the memory cannot be had.
    TBitmap(int width, int height);

    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    bool isEmpty() const { return image_.isNull(); }

    std::uint8_t* scanLine(int y) { return image_.scanLine(y); }
    const std::uint8_t* scanLine(int y) const { return image_.constScanLine(y); }
    qsizetype bytesPerLine() const { return image_.bytesPerLine(); }

    void setPixel(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // The pixel as 0xffRRGGBB.
    QRgb pixel(int x, int y) const;
    void fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // Whether other has the same size and the same pixels (row padding aside).
    bool samePixels(const TBitmap& other) const;
    // Makes this a width x height picture whose pixels are left unset, for a
    // decoder that writes every one of them. Its own buffer is kept when it
    // already has that size and no copy shares it, so a decoder that fills
    // picture after picture touches no fresh memory. Throws like the constructor.
    void reshapeForOverwrite(int width, int height);

    // The picture as a QImage for display; shares the pixels.
    const QImage& image() const { return image_; }
    // Converts any QImage to 24 bits. Alpha is ignored: each pixel keeps the
    // colour it stores, whatever its transparency.
    static TBitmap fromImage(const QImage& image);

private:
    QImage image_;
};

} // namespace zavio
