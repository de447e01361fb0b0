#pragma once

// What the fuzzers share: the set-up of Qt and the loaders, and the size checks
// that keep pictures too large to be worth the time away from the decoders.

#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLoader.h"

#include <QByteArrayView>

#include <cstdint>
#include <cstdlib>

namespace zavio::fuzz {

// Whether a JPEG's header gives at most maxPixels; a header that does not read
// passes, as the decoder fails on it the same way.
inline bool jpegSmallEnough(QByteArrayView data, std::int64_t maxPixels)
{
    try {
        const TJPEGImage::Header header = TJPEGImage::readHeader(data);
        return std::int64_t(header.width) * header.height <= maxPixels;
    } catch (const PictureError&) {
        return true;
    }
}

inline bool bmpSmallEnough(QByteArrayView data, std::int64_t maxPixels)
{
    const QSize size = bmpHeaderSize(data);
    return std::int64_t(size.width()) * std::abs(std::int64_t(size.height())) <= maxPixels;
}

inline void silence(QtMsgType, const QMessageLogContext&, const QString&) {}

// Qt's warnings on broken files are dropped and its image readers take the
// picture budget, as in the program.
inline void prepareFuzzer()
{
    qInstallMessageHandler(silence);
    configureImageReaders();
}

} // namespace zavio::fuzz
