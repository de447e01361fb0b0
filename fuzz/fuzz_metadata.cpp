// Feeds arbitrary bytes to what a saved JPEG takes over from its source: the
// markers of a JPEG header, and an EXIF marker edited through libexif. What
// comes out must fit into a JPEG, be written and read back unchanged, and
// edit again to something of the same kind.

#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "rotation/CameraMetadata.h"

#include <array>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kWidth = 37;
constexpr int kHeight = 53;

void checkCarried(const std::vector<zavio::JpegMarker>& markers)
{
    using zavio::TJPEGImage;
    if (markers.empty())
        return;
    static const zavio::TBitmap picture(kWidth, kHeight);
    const QByteArray jpeg = TJPEGImage::encode(picture, 90, markers);
    const std::array<int, 2> codes{0xe1, 0xe2};
    const std::vector<zavio::JpegMarker> back = TJPEGImage::readMarkers(jpeg, codes);
    if (back.size() != markers.size())
        std::abort();
    for (std::size_t i = 0; i < back.size(); ++i)
        if (back[i].code != markers[i].code || back[i].payload != markers[i].payload)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkCarried(zavio::cameraMarkers(bytes, kWidth, kHeight));

    const QByteArray exif = zavio::exifForSavedPicture(bytes, kWidth, kHeight);
    if (!exif.isEmpty()) {
        if (exif.size() > zavio::kMaxMarkerPayload || !exif.startsWith(QByteArrayView("Exif\0\0", 6)))
            std::abort();
        if (zavio::exifForSavedPicture(exif, kWidth, kHeight).isEmpty())
            std::abort();
        checkCarried({{0xe1, exif}});
    }
    return 0;
}
