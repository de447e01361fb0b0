#pragma once

#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QByteArrayView>

namespace zavio {

// JPEG through libjpeg's version 6 interface. Decoding is whole and at full
// size with the accurate integer DCT; every libjpeg error becomes a
// PictureError with the library's own text (the file name is added by the caller).
class TJPEGImage {
public:
    struct Header {
        int width = 0;
        int height = 0;
    };

    // Reads only the header: the picture's size.
    static Header readHeader(QByteArrayView data);
    // Decodes the whole picture. A truncated file is an error, not a grey tail.
    static TBitmap decode(QByteArrayView data);
    // Decodes into target, reusing its pixel buffer when the size allows.
    // After an error target holds no usable picture.
    static void decodeInto(QByteArrayView data, TBitmap& target);
    // Encodes a baseline colour JPEG.
    static QByteArray encode(const TBitmap& bitmap, int quality = 90);
};

} // namespace zavio
