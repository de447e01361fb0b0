#pragma once

#include "imaging/JpegCodec.h"

#include <QByteArray>

#include <vector>

namespace zavio::test {

// The tags a camera writes that a saved copy must keep.
inline constexpr char kCameraModel[] = "ZV-1000";
inline constexpr char kTakenAt[] = "2021:07:04 10:11:12";
// A private tag no library knows: kept as it is.
inline constexpr int kPrivateTag = 0xfde8;
inline constexpr char kPrivateValue[] = "zavi";

struct CameraExif {
    bool bigEndian = false;
    int width = 0;  // PixelXDimension
    int height = 0; // PixelYDimension
    bool dimensionsAsShort = false;
    int orientation = 6; // the camera was held upright
    bool thumbnail = true;
    bool onlyThumbnail = false; // no tag but the thumbnail's
};

// The content of an EXIF APP1 marker ("Exif\0\0" and TIFF data), made with
// libexif: make, model, orientation and the private tag in IFD0, date and
// pixel dimensions in the EXIF IFD, latitude in the GPS IFD (unless
// onlyThumbnail), and a small JPEG thumbnail in IFD1.
QByteArray makeExif(const CameraExif& exif);

// profile split into APP2 "ICC_PROFILE" chunks of at most chunkBytes of it.
std::vector<JpegMarker> iccMarkers(const QByteArray& profile, int chunkBytes);

// jpeg with the segments inserted right after its start-of-image marker, as
// cameras write them, by raw bytes.
QByteArray withMarkers(const QByteArray& jpeg, const std::vector<JpegMarker>& markers);

// Every segment before the first scan (code and content), read from the raw
// bytes; empty when the file does not start like a JPEG.
std::vector<JpegMarker> segmentsBeforeScan(const QByteArray& jpeg);

} // namespace zavio::test
