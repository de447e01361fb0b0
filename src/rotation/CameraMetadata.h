#pragma once

#include "imaging/JpegCodec.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace zavio {

// What a JPEG saved from a camera's JPEG carries over of it: the EXIF (date,
// camera, GPS, ...) edited for the new picture by exifForSavedPicture, then
// every chunk of the ICC colour profile (APP2 "ICC_PROFILE") in file order.
// Nothing else of the source is kept: XMP and other markers may describe
// the old picture (its orientation, its other pictures) and would mislead.
// A source whose header cannot be read gives nothing.
std::vector<JpegMarker> cameraMarkers(QByteArrayView sourceJpeg, int width, int height);

// The EXIF marker's content ("Exif\0\0" and its TIFF data) made fit for a
// picture of width x height pixels that is shown as stored: orientation 1,
// PixelXDimension/PixelYDimension (and ImageWidth/ImageLength where present)
// set to the new size, the embedded thumbnail and its IFD dropped. Every
// other tag is kept as it was. Empty when no tag can be read from it or the
// result does not fit into one marker.
QByteArray exifForSavedPicture(QByteArrayView exif, int width, int height);

} // namespace zavio
