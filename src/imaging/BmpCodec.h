#pragma once

#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>

namespace zavio {

// BMP through Qt's own handler: every depth a user meets (1, 4, 8, 16, 24 and
// 32 bits, RLE4 and RLE8, bottom-up and top-down) is read and turned into 24 bits.
// The size is checked from the header before the picture is read.
TBitmap decodeBmp(QByteArrayView data);
// The size the header gives, the height negative for a top-down file; an
// invalid size when there is no readable header.
QSize bmpHeaderSize(QByteArrayView data);
// An uncompressed 24-bit BMP file.
QByteArray encodeBmp24(const TBitmap& bitmap);

} // namespace zavio
