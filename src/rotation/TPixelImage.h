#pragma once

#include "imaging/FilePath.h"
#include "imaging/TBitmap.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>

namespace zavio {

// The message of a grey pass that could not read the picture.
QString unsupportedPictureMessage();

// One picture held for rotation: its 24-bit bitmap and size, a grey plane of
// one byte per pixel (row by row from the top) and the histogram and extremes
// of the grey values. A new one holds no bitmap and a size of 0 x 0.
class TPixelImage {
public:
    TPixelImage() = default;
    TPixelImage(const TPixelImage&) = delete;
    TPixelImage& operator=(const TPixelImage&) = delete;
    TPixelImage(TPixelImage&&) noexcept = default;
    TPixelImage& operator=(TPixelImage&&) noexcept = default;
    ~TPixelImage() = default;

    // Whether LoadPicture reads a file of this name: one of a rotatable
    // format in kPictureFormats (".jpg" and ".bmp", not ".jpeg", which the
    // thumbnails and the zoom window do show).
    static bool AcceptsFileName(const QString& fileName);

    // Loads the file by its extension and builds the grey plane and the
    // histogram. Returns false for a name it does not accept (the bitmap is
    // then kept as it was) and for a file that cannot be read or decoded (the
    // bitmap is then empty and the size 0 x 0). Reports no error of its own.
    [[nodiscard]] bool LoadPicture(const FilePath& file);
    // Takes a picture that is already decoded, as LoadPicture does after
    // decoding. Returns false for an empty bitmap.
    [[nodiscard]] bool LoadBitmap(TBitmap bitmap);

    // Null until a load succeeds. Index r * Width() + c holds column c of row r.
    const std::uint8_t* GreyPlane() const { return GreyPlane_.get(); }
    std::uint8_t MaxGrey() const { return MaxGrey_; }
    std::uint8_t MinGrey() const { return MinGrey_; }
    // Histogram()[g] counts the pixels of grey value g.
    const std::array<std::uint32_t, 256>& Histogram() const { return Histogram_; }
    std::uint32_t Width() const { return Width_; }
    std::uint32_t Height() const { return Height_; }
    // Null before the first load of an accepted name.
    const TBitmap* Bitmap() const { return Bitmap_.get(); }

    // Whether a 24-bit picture is held: false for no bitmap and for the empty
    // bitmap a failed load leaves.
    bool Is24Bit() const;

    // One byte of the pixel at column, row; 0 outside the picture.
    std::uint8_t RedAt(std::uint32_t column, std::uint32_t row) const { return byteAt(column, row, 2); }
    std::uint8_t GreenAt(std::uint32_t column, std::uint32_t row) const { return byteAt(column, row, 1); }
    std::uint8_t BlueAt(std::uint32_t column, std::uint32_t row) const { return byteAt(column, row, 0); }

    // unsupportedPictureMessage() when the last grey pass could not be done,
    // for the window to show; empty otherwise.
    const QString& GreyPassMessage() const { return greyPassMessage_; }

private:
    bool finishLoad(bool result);
    void BuildGreyPlane();
    void BuildHistogram();
    std::uint8_t byteAt(std::uint32_t column, std::uint32_t row, int channel) const;

    std::unique_ptr<std::uint8_t[]> GreyPlane_;
    // The extremes are those of an empty grey pass until the first load.
    std::uint8_t MaxGrey_ = 0;
    std::uint8_t MinGrey_ = 255;
    std::array<std::uint32_t, 256> Histogram_{};
    std::uint32_t Width_ = 0;
    std::uint32_t Height_ = 0;
    // Held const so that reading a row never detaches pixels shared with a caller.
    std::unique_ptr<const TBitmap> Bitmap_;
    QString greyPassMessage_;
};

} // namespace zavio
