#include "support/ExifFixtures.h"

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

#include <cstdlib>
#include <cstring>

namespace zavio::test {

namespace {

void addEntry(ExifContent* ifd, int tag, ExifFormat format, unsigned long components, const void* bytes,
    unsigned size)
{
    ExifEntry* entry = exif_entry_new();
    entry->tag = ExifTag(tag);
    entry->format = format;
    entry->components = components;
    entry->size = size;
    entry->data = static_cast<unsigned char*>(std::malloc(size));
    std::memcpy(entry->data, bytes, size);
    exif_content_add_entry(ifd, entry);
    exif_entry_unref(entry);
}

void addText(ExifContent* ifd, int tag, const char* text)
{
    addEntry(ifd, tag, EXIF_FORMAT_ASCII, std::strlen(text) + 1, text, unsigned(std::strlen(text) + 1));
}

void addNumber(ExifContent* ifd, int tag, ExifByteOrder order, unsigned value, bool asShort)
{
    unsigned char bytes[4] = {};
    if (asShort)
        exif_set_short(bytes, order, ExifShort(value));
    else
        exif_set_long(bytes, order, ExifLong(value));
    addEntry(ifd, tag, asShort ? EXIF_FORMAT_SHORT : EXIF_FORMAT_LONG, 1, bytes, asShort ? 2 : 4);
}

// Make, model, orientation and the private tag in IFD0, date and pixel size
// in the EXIF IFD, latitude in the GPS IFD.
void addCameraTags(ExifData* data, const CameraExif& exif)
{
    const ExifByteOrder order = exif_data_get_byte_order(data);
    ExifContent* main = data->ifd[EXIF_IFD_0];
    addText(main, EXIF_TAG_MAKE, "Zavio Optics");
    addText(main, EXIF_TAG_MODEL, kCameraModel);
    addNumber(main, EXIF_TAG_ORIENTATION, order, unsigned(exif.orientation), true);
    addEntry(main, kPrivateTag, EXIF_FORMAT_UNDEFINED, 4, kPrivateValue, 4);

    ExifContent* camera = data->ifd[EXIF_IFD_EXIF];
    addText(camera, EXIF_TAG_DATE_TIME_ORIGINAL, kTakenAt);
    addNumber(camera, EXIF_TAG_PIXEL_X_DIMENSION, order, unsigned(exif.width), exif.dimensionsAsShort);
    addNumber(camera, EXIF_TAG_PIXEL_Y_DIMENSION, order, unsigned(exif.height), exif.dimensionsAsShort);

    ExifContent* gps = data->ifd[EXIF_IFD_GPS];
    addText(gps, EXIF_TAG_GPS_LATITUDE_REF, "N");
    unsigned char latitude[24];
    const ExifRational parts[3] = {{35, 1}, {41, 1}, {2230, 100}};
    for (int i = 0; i < 3; ++i)
        exif_set_rational(latitude + 8 * i, order, parts[i]);
    addEntry(gps, EXIF_TAG_GPS_LATITUDE, EXIF_FORMAT_RATIONAL, 3, latitude, sizeof latitude);
}

} // namespace

QByteArray makeExif(const CameraExif& exif)
{
    ExifData* data = exif_data_new();
    const ExifByteOrder order = exif.bigEndian ? EXIF_BYTE_ORDER_MOTOROLA : EXIF_BYTE_ORDER_INTEL;
    exif_data_set_byte_order(data, order);
    if (!exif.onlyThumbnail)
        addCameraTags(data, exif);

    if (exif.thumbnail) {
        static constexpr unsigned char kTinyJpeg[] = {0xff, 0xd8, 0xff, 0xd9};
        data->data = static_cast<unsigned char*>(std::malloc(sizeof kTinyJpeg));
        std::memcpy(data->data, kTinyJpeg, sizeof kTinyJpeg);
        data->size = sizeof kTinyJpeg;
        addNumber(data->ifd[EXIF_IFD_1], EXIF_TAG_COMPRESSION, order, 6, true);
    }

    unsigned char* saved = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data, &saved, &size);
    QByteArray result(reinterpret_cast<const char*>(saved), qsizetype(size));
    std::free(saved);
    exif_data_unref(data);
    return result;
}

std::vector<JpegMarker> iccMarkers(const QByteArray& profile, int chunkBytes)
{
    const int count = int((profile.size() + chunkBytes - 1) / chunkBytes);
    std::vector<JpegMarker> markers;
    for (int i = 0; i < count; ++i) {
        QByteArray payload("ICC_PROFILE\0", 12);
        payload.append(char(i + 1)).append(char(count)).append(profile.mid(qsizetype(i) * chunkBytes, chunkBytes));
        markers.push_back({0xe2, payload});
    }
    return markers;
}

QByteArray withMarkers(const QByteArray& jpeg, const std::vector<JpegMarker>& markers)
{
    QByteArray result = jpeg.left(2);
    for (const JpegMarker& marker : markers) {
        const qsizetype length = marker.payload.size() + 2;
        result.append(char(0xff)).append(char(marker.code)).append(char(length >> 8)).append(char(length & 0xff));
        result.append(marker.payload);
    }
    return result + jpeg.mid(2);
}

std::vector<JpegMarker> segmentsBeforeScan(const QByteArray& jpeg)
{
    auto byte = [&jpeg](qsizetype at) { return int(std::uint8_t(jpeg[at])); };
    std::vector<JpegMarker> segments;
    if (jpeg.size() < 4 || byte(0) != 0xff || byte(1) != 0xd8)
        return segments;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && byte(at) == 0xff && byte(at + 1) != 0xda) {
        const int length = byte(at + 2) * 256 + byte(at + 3);
        segments.push_back({byte(at + 1), jpeg.mid(at + 4, length - 2)});
        at += 2 + length;
    }
    return segments;
}

} // namespace zavio::test
