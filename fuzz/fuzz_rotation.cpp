// Writes arbitrary bytes to a file named .bmp (when they start with "BM") or
// .jpg and loads it as the rotation window does. Whatever loads is checked for
// a consistent grey plane and histogram and turned by one of a few angles (the
// last byte picks it); small pictures are also turned by the plain per-pixel
// rule, which the fast rotation must equal byte for byte.

#include "FuzzSupport.h"

#include "rotation/Rotation.h"
#include "rotation/TPixelImage.h"
#include "fixtures/RotationLiteral.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <unistd.h>

namespace {

// Larger pictures only slow the run; the loaders' own size checks still see every header.
constexpr std::int64_t kMaxFuzzPixels = 1'000'000;
// A turn by a small angle of a long thin picture is large; it is turned only up
// to this many target pixels, and by the slow plain rule up to the second limit.
constexpr std::int64_t kMaxTurnPixels = 250'000;
constexpr std::int64_t kMaxLiteralPixels = 40'000;
constexpr float kAngles[] = {90, 270, 0, 180, 360, 45, 30, 1, 123.4f, 359, 89.99f};

std::string scratchFolder;

void checkPicture(const zavio::TPixelImage& image)
{
    if (!image.Is24Bit() || image.Width() != std::uint32_t(image.Bitmap()->width())
        || image.Height() != std::uint32_t(image.Bitmap()->height()) || image.GreyPlane() == nullptr)
        std::abort();
    const auto& histogram = image.Histogram();
    if (std::accumulate(histogram.begin(), histogram.end(), std::uint64_t(0))
        != std::uint64_t(image.Width()) * image.Height())
        std::abort();
    if (image.MinGrey() > image.MaxGrey() || histogram[image.MinGrey()] == 0 || histogram[image.MaxGrey()] == 0)
        std::abort();
    // The last pixel's grey value from its accessors.
    const std::uint32_t c = image.Width() - 1;
    const std::uint32_t r = image.Height() - 1;
    const unsigned grey = (30u * image.RedAt(c, r) + 59u * image.GreenAt(c, r) + 11u * image.BlueAt(c, r)) / 100u;
    if (image.GreyPlane()[std::size_t(r) * image.Width() + c] != grey || image.RedAt(c + 1, r) != 0
        || image.BlueAt(c, r + 1) != 0)
        std::abort();
}

void turn(const zavio::TPixelImage& image, float angle)
{
    const QSize size = zavio::RotatedSize(image, angle);
    if (size != zavio::literal::rotatedSize(image, angle) || size.width() < 0 || size.height() < 0)
        std::abort();
    if (size.isEmpty() || std::int64_t(size.width()) * size.height() > kMaxTurnPixels)
        return;
    zavio::TBitmap fast(size.width(), size.height());
    fast.fill(255, 255, 255);
    zavio::RotateImage(image, angle, fast, 2);
    if (std::int64_t(size.width()) * size.height() > kMaxLiteralPixels)
        return;
    zavio::TBitmap slow(size.width(), size.height());
    slow.fill(255, 255, 255);
    zavio::literal::rotateImage(image, angle, slow);
    if (!fast.samePixels(slow))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    zavio::fuzz::prepareFuzzer();
    char folder[] = "/tmp/zavio-fuzz-rotation-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("fuzz_rotation: mkdtemp");
        std::abort();
    }
    scratchFolder = folder;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool bmp = bytes.startsWith("BM");
    if (!(bmp ? zavio::fuzz::bmpSmallEnough(bytes, kMaxFuzzPixels)
              : zavio::fuzz::jpegSmallEnough(bytes, kMaxFuzzPixels)))
        return 0;
    const std::string path = scratchFolder + (bmp ? "/picture.bmp" : "/picture.jpg");
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written)
        std::abort();

    zavio::TPixelImage image;
    if (!image.LoadPicture(QString::fromStdString(path))) {
        if (image.Is24Bit() || image.Width() != 0 || image.GreyPlane() != nullptr)
            std::abort();
        return 0;
    }
    checkPicture(image);
    turn(image, kAngles[(size == 0 ? 0 : data[size - 1]) % std::size(kAngles)]);
    return 0;
}
