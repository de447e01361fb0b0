#include "rotation/CameraMetadata.h"

#include "imaging/PictureError.h"

#include <libexif/exif-data.h>
#include <libexif/exif-mem.h>
#include <libexif/exif-utils.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace zavio {

namespace {

constexpr int kApp1 = 0xe1;
constexpr int kApp2 = 0xe2;
constexpr QByteArrayView kExifSignature("Exif\0\0", 6);
constexpr QByteArrayView kIccSignature("ICC_PROFILE\0", 12);
// After the signature: the chunk's sequence number and the number of chunks.
constexpr qsizetype kIccChunkHeader = 14;
// The profile header's colour space field.
constexpr qsizetype kIccColourSpaceAt = 16;
constexpr QByteArrayView kIccRgb("RGB ", 4);

struct ExifMemRelease {
    void operator()(ExifMem* mem) const { exif_mem_unref(mem); }
};
struct ExifDataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
struct ExifBufferRelease {
    ExifMem* mem;
    void operator()(unsigned char* buffer) const { exif_mem_free(mem, buffer); }
};

// Sets a tag that holds one whole number to value. A tag stored in a form
// that cannot hold it is removed, as a stale size is worse than none.
void setNumber(ExifContent* content, ExifTag tag, ExifByteOrder order, unsigned value)
{
    ExifEntry* entry = exif_content_get_entry(content, tag);
    if (entry == nullptr)
        return;
    if (entry->components == 1 && entry->format == EXIF_FORMAT_SHORT && entry->size >= 2 && value <= 0xffff)
        exif_set_short(entry->data, order, ExifShort(value));
    else if (entry->components == 1 && entry->format == EXIF_FORMAT_LONG && entry->size >= 4)
        exif_set_long(entry->data, order, ExifLong(value));
    else
        exif_content_remove_entry(content, entry);
}

bool hasTags(const ExifData& data)
{
    for (ExifContent* content : data.ifd) {
        if (content != nullptr && content->count > 0)
            return true;
    }
    return false;
}

} // namespace

bool iccProfileIsRgb(const std::vector<QByteArray>& chunks)
{
    std::vector<const QByteArray*> ordered;
    for (const QByteArray& chunk : chunks) {
        if (chunk.size() >= kIccChunkHeader && chunk.startsWith(kIccSignature))
            ordered.push_back(&chunk);
    }
    // A header split over chunks is read in their sequence order.
    std::stable_sort(ordered.begin(), ordered.end(), [](const QByteArray* a, const QByteArray* b) {
        return std::uint8_t(a->at(12)) < std::uint8_t(b->at(12));
    });
    QByteArray header;
    for (const QByteArray* chunk : ordered) {
        header.append(QByteArrayView(*chunk).sliced(kIccChunkHeader));
        if (header.size() >= kIccColourSpaceAt + kIccRgb.size())
            break;
    }
    return header.size() >= kIccColourSpaceAt + kIccRgb.size()
        && QByteArrayView(header).sliced(kIccColourSpaceAt, kIccRgb.size()) == kIccRgb;
}

QByteArray exifForSavedPicture(QByteArrayView exif, int width, int height)
{
    const std::unique_ptr<ExifMem, ExifMemRelease> mem(exif_mem_new_default());
    if (!mem)
        return {};
    const std::unique_ptr<ExifData, ExifDataRelease> data(exif_data_new_mem(mem.get()));
    if (!data)
        return {};
    // Tags libexif does not know are kept, and none is added or changed to
    // follow the standard more closely: the camera's tags stay as they were.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(exif.data()), unsigned(exif.size()));

    // The thumbnail shows the old picture, the wrong way round.
    exif_mem_free(mem.get(), data->data);
    data->data = nullptr;
    data->size = 0;
    ExifContent* thumbnailIfd = data->ifd[EXIF_IFD_1];
    while (thumbnailIfd->count > 0)
        exif_content_remove_entry(thumbnailIfd, thumbnailIfd->entries[0]);

    const ExifByteOrder order = exif_data_get_byte_order(data.get());
    ExifContent* main = data->ifd[EXIF_IFD_0];
    ExifContent* exifIfd = data->ifd[EXIF_IFD_EXIF];
    setNumber(main, EXIF_TAG_ORIENTATION, order, 1);
    setNumber(main, EXIF_TAG_IMAGE_WIDTH, order, unsigned(width));
    setNumber(main, EXIF_TAG_IMAGE_LENGTH, order, unsigned(height));
    setNumber(exifIfd, EXIF_TAG_PIXEL_X_DIMENSION, order, unsigned(width));
    setNumber(exifIfd, EXIF_TAG_PIXEL_Y_DIMENSION, order, unsigned(height));

    // Nothing but a thumbnail (or tags that could not be kept) is no EXIF.
    if (!hasTags(*data))
        return {};
    unsigned char* saved = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data.get(), &saved, &size);
    const std::unique_ptr<unsigned char, ExifBufferRelease> release(saved, ExifBufferRelease{mem.get()});
    if (saved == nullptr || size == 0 || size > unsigned(kMaxMarkerPayload))
        return {};
    return QByteArray(reinterpret_cast<const char*>(saved), qsizetype(size));
}

std::vector<JpegMarker> cameraMarkers(QByteArrayView sourceJpeg, int width, int height)
{
    std::vector<JpegMarker> found;
    try {
        const std::array<int, 2> codes{kApp1, kApp2};
        found = TJPEGImage::readMarkers(sourceJpeg, codes);
    } catch (const PictureError&) {
        return {};
    }

    std::vector<JpegMarker> carried;
    for (const JpegMarker& marker : found) {
        if (marker.code == kApp1 && marker.payload.startsWith(kExifSignature)) {
            QByteArray exif = exifForSavedPicture(marker.payload, width, height);
            if (!exif.isEmpty())
                carried.push_back({kApp1, std::move(exif)});
            break;
        }
    }
    std::vector<QByteArray> profile;
    for (const JpegMarker& marker : found) {
        if (marker.code == kApp2 && marker.payload.startsWith(kIccSignature))
            profile.push_back(marker.payload);
    }
    if (iccProfileIsRgb(profile)) {
        for (QByteArray& chunk : profile)
            carried.push_back({kApp2, std::move(chunk)});
    }
    return carried;
}

} // namespace zavio
