// Feeds arbitrary bytes to the JPEG and BMP decoders. Whatever decodes is then
// drawn into a thumbnail cell, sized and halved as the zoom window does, and
// written and read back as a 24-bit BMP, which must give the same pixels.

#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLoader.h"
#include "imaging/StretchDraw.h"
#include "imaging/ThumbnailFit.h"
#include "viewer/ZoomLevels.h"
#include "viewer/ZoomRules.h"

#include "FuzzSupport.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Larger pictures are real but only make the run slow and the memory high; the
// size checks themselves are still exercised by every header.
constexpr std::int64_t kMaxFuzzPixels = 4'000'000;

void exercise(const zavio::TBitmap& picture)
{
    using namespace zavio;
    TBitmap cell(131, 101);
    stretchDraw(cell, ThumbnailFit(picture.width(), picture.height(), 131, 101, 5, 0), picture);

    const QSize client = openingClientSize(picture.width(), picture.height());
    if (client.width() < 0 || client.height() < 0 || client.width() > std::max(picture.width(), 1000)
        || client.height() > std::max(picture.height(), 755))
        std::abort();
    ZoomLevels levels;
    levels.setPicture(picture.image());
    for (int i = 1; i < levels.levelCount(); ++i)
        if (levels.level(i).width() != levels.level(i - 1).width() / 2
            || levels.level(i).height() != levels.level(i - 1).height() / 2)
            std::abort();
    const QImage& chosen = levels.levelFor(client);
    if (chosen.isNull()
        || (chosen.size() != picture.image().size()
            && (chosen.width() < client.width() || chosen.height() < client.height())))
        std::abort();

    if (!decodeBmp(encodeBmp24(picture)).samePixels(picture))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    zavio::fuzz::prepareFuzzer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (zavio::fuzz::jpegSmallEnough(bytes, kMaxFuzzPixels)) {
        try {
            exercise(zavio::TJPEGImage::decode(bytes));
        } catch (const zavio::PictureError&) {}
    }
    if (zavio::fuzz::bmpSmallEnough(bytes, kMaxFuzzPixels)) {
        try {
            exercise(zavio::decodeBmp(bytes));
        } catch (const zavio::PictureError&) {}
    }
    return 0;
}
