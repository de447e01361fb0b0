#pragma once

#include "imaging/JpegCodec.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace zavio {

// What a JPEG saved from a camera's JPEG carries over of it: the EXIF (date,
// camera, GPS, ...) edited for the new picture by exifForSavedPicture, then
// every chunk of the ICC colour profile (APP2 "ICC_PROFILE") in file order,
// but only for a profile of RGB colour: the saved JPEG is YCbCr, which a grey
// or CMYK profile would misdescribe, so such a profile (or one whose header
// cannot be read) is left out. Nothing else of the source is kept: XMP and
// other markers may describe the old picture (its orientation, its other
// pictures) and would mislead. A source whose header cannot be read gives nothing.
[[nodiscard]] std::vector<JpegMarker> cameraMarkers(QByteArrayView sourceJpeg, int width, int height);

// Whether the ICC profile carried by these APP2 "ICC_PROFILE" payloads (each
// the signature, its sequence number from 1, the chunk count, then its part
// of the profile) names RGB as its colour space: bytes 16 to 19 of the profile
// put together in sequence order are "RGB ".
[[nodiscard]] bool iccProfileIsRgb(const std::vector<QByteArray>& chunks);

// The EXIF marker's content ("Exif\0\0" and its TIFF data) made fit for a
// picture of width x height pixels that is shown as stored: orientation 1,
// PixelXDimension/PixelYDimension (and ImageWidth/ImageLength where present)
// set to the new size, the embedded thumbnail and its IFD dropped. Every
// other tag is kept as it was. Empty when no tag can be read from it or the
// result does not fit into one marker.
[[nodiscard]] QByteArray exifForSavedPicture(QByteArrayView exif, int width, int height);

} // namespace zavio
