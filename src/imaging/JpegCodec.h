#pragma once

#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <span>
#include <vector>

namespace zavio {

// One application marker of a JPEG file: its code (0xE1 for APP1, 0xE2 for
// APP2, ...) and its bytes after the two-byte length. A marker holds at most
// kMaxMarkerPayload bytes.
struct JpegMarker {
    int code = 0;
    QByteArray payload;
};
inline constexpr int kMaxMarkerPayload = 65533;

// Why libjpeg gave up, in Japanese, for one of its message codes (JERR_...,
// JWRN_...): the common causes by name, any other by its number.
QString jpegReason(int messageCode);

// JPEG through libjpeg's version 6 interface. Decoding is whole and at full
// size with the accurate integer DCT; every libjpeg error becomes a
// PictureError with a Japanese reason (the file name is added by the caller).
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
    // The application markers with the given codes (0xE0 to 0xEF) that come
    // before the picture data, in file order. Reads only the header.
    static std::vector<JpegMarker> readMarkers(QByteArrayView data, std::span<const int> codes);
    // Encodes a baseline colour JPEG with libjpeg's defaults (JFIF header,
    // YCbCr, 2 x 2 chroma sampling). The markers are written in their order
    // right after the JFIF header; one longer than kMaxMarkerPayload, or with
    // a code that is no application marker, is a PictureError.
    static QByteArray encode(const TBitmap& bitmap, int quality = 90, std::span<const JpegMarker> markers = {});
};

} // namespace zavio
