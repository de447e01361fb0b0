#include "rotation/TPixelImage.h"

#include "imaging/PictureFormats.h"
#include "imaging/PictureLoader.h"

#include <exception>
#include <new>
#include <utility>

namespace zavio {

QString unsupportedPictureMessage()
{
    return QStringLiteral("対応できない画像です");
}

bool TPixelImage::AcceptsFileName(const QString& fileName)
{
    const PictureFormat* format = pictureFormatOf(fileName);
    return format && format->rotatable;
}

bool TPixelImage::LoadPicture(const FilePath& file)
{
    if (!AcceptsFileName(file.text()))
        return finishLoad(false);

    // The old picture goes first; a file that cannot be read leaves an empty one.
    Bitmap_.reset();
    try {
        Bitmap_ = std::make_unique<const TBitmap>();
        TBitmap decoded;
        loadPicture(file, decoded);
        Bitmap_ = std::make_unique<const TBitmap>(std::move(decoded));
    } catch (const std::exception&) {
        // Silent by design: the caller learns of it from Is24Bit.
    }
    return finishLoad(true);
}

bool TPixelImage::LoadBitmap(TBitmap bitmap)
{
    Bitmap_ = std::make_unique<const TBitmap>(std::move(bitmap));
    return finishLoad(true);
}

bool TPixelImage::finishLoad(bool result)
{
    greyPassMessage_.clear();
    if (!Bitmap_ || Bitmap_->isEmpty()) {
        // No picture is held, so no size or grey values may describe one: a
        // stale size would send the pixel reads into a bitmap that is gone.
        GreyPlane_.reset();
        MaxGrey_ = 0;
        MinGrey_ = 255;
        Histogram_.fill(0);
        Width_ = 0;
        Height_ = 0;
        return false;
    }
    Width_ = std::uint32_t(Bitmap_->width());
    Height_ = std::uint32_t(Bitmap_->height());
    GreyPlane_.reset();
    BuildGreyPlane();
    BuildHistogram();
    return result;
}

void TPixelImage::BuildGreyPlane()
{
    MaxGrey_ = 0;
    MinGrey_ = 255;
    try {
        GreyPlane_ = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(Width_) * Height_);
    } catch (const std::bad_alloc&) {
        // Without a grey plane the picture can still be turned; the window says
        // that its grey values could not be made.
        greyPassMessage_ = unsupportedPictureMessage();
        return;
    }
    for (std::uint32_t row = 0; row < Height_; ++row) {
        const std::uint8_t* pixel = Bitmap_->scanLine(int(row));
        std::uint8_t* grey = GreyPlane_.get() + std::size_t(row) * Width_;
        for (std::uint32_t column = 0; column < Width_; ++column, pixel += 3) {
            // Blue, green, red; the weights add up to 100, so white gives 255.
            const auto value = std::uint8_t((30u * pixel[2] + 59u * pixel[1] + 11u * pixel[0]) / 100u);
            grey[column] = value;
            if (value > MaxGrey_)
                MaxGrey_ = value;
            if (value < MinGrey_)
                MinGrey_ = value;
        }
    }
}

void TPixelImage::BuildHistogram()
{
    Histogram_.fill(0);
    if (!GreyPlane_)
        return;
    const std::uint8_t* grey = GreyPlane_.get();
    const std::size_t count = std::size_t(Width_) * Height_;
    for (std::size_t i = 0; i < count; ++i)
        ++Histogram_[grey[i]];
}

bool TPixelImage::Is24Bit() const
{
    return Bitmap_ && !Bitmap_->isEmpty() && Bitmap_->image().depth() == 24;
}

std::uint8_t TPixelImage::byteAt(std::uint32_t column, std::uint32_t row, int channel) const
{
    // Unsigned comparisons: a negative index seen as unsigned is out of range too.
    if (!Bitmap_ || column >= Width_ || row >= Height_)
        return 0;
    return Bitmap_->scanLine(int(row))[3 * std::size_t(column) + std::size_t(channel)];
}

} // namespace zavio
