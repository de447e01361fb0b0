// Writes a few small JPEG and BMP files into a folder, as the fuzzer's first
// corpus: every depth and layout the decoders know, made by our own encoders
// and the test fixtures.

#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "fixtures/BmpFixtures.h"
#include "fixtures/ExifFixtures.h"
#include "fixtures/JpegFixtures.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using namespace zavio;
using namespace zavio::test;

namespace {

TBitmap gradient(int width, int height)
{
    TBitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, std::uint8_t(x * 255 / width), std::uint8_t(y * 255 / height), std::uint8_t((x ^ y) * 16));
    return b;
}

std::vector<std::vector<std::uint32_t>> indices(int width, int height, int modulo)
{
    std::vector<std::vector<std::uint32_t>> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rows[std::size_t(y)].push_back(std::uint32_t((x + 3 * y) % modulo));
    return rows;
}

std::vector<QRgb> palette(int count)
{
    std::vector<QRgb> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back(qRgb(i * 37 % 256, i * 91 % 256, 255 - i));
    return colours;
}

std::vector<std::uint8_t> samples(int width, int height, int perPixel)
{
    std::vector<std::uint8_t> out;
    for (int i = 0; i < width * height * perPixel; ++i)
        out.push_back(std::uint8_t(i * 7));
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    int written = 0;
    int wanted = 0;
    auto save = [&](const char* name, const QByteArray& bytes) {
        ++wanted;
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            ++written;
    };

    save("baseline.jpg", TJPEGImage::encode(gradient(16, 16), 90));
    save("odd-low.jpg", TJPEGImage::encode(gradient(33, 17), 30));
    save("gray.jpg", makeJpeg({9, 7, JpegFixture::Space::Gray, samples(9, 7, 1)}));
    JpegFixture progressive{20, 12, JpegFixture::Space::Rgb, samples(20, 12, 3)};
    progressive.progressive = true;
    save("progressive.jpg", makeJpeg(progressive));
    save("cmyk.jpg", makeJpeg({8, 8, JpegFixture::Space::Cmyk, samples(8, 8, 4)}));
    save("ycck.jpg", makeJpeg({8, 8, JpegFixture::Space::Ycck, samples(8, 8, 4)}));

    // A camera's file: EXIF with a thumbnail and an ICC profile in two chunks;
    // and the EXIF marker's content alone.
    const QByteArray exif = makeExif({.bigEndian = true, .width = 16, .height = 16, .dimensionsAsShort = true});
    std::vector<JpegMarker> camera = iccMarkers(QByteArray(300, 'c'), 200);
    camera.insert(camera.begin(), {0xe1, exif});
    save("camera.jpg", withMarkers(TJPEGImage::encode(gradient(16, 16), 90), camera));
    save("exif-intel.bin", makeExif({.width = 4000, .height = 3000}));
    save("exif-motorola.bin", exif);

    save("24.bmp", encodeBmp24(gradient(7, 5)));
    for (int bits : {1, 4, 8}) {
        BmpLayout layout{.width = 7, .height = 5, .bitCount = bits, .palette = palette(1 << bits)};
        const QByteArray file = makeBmp(layout, packRows(layout, indices(7, 5, 1 << bits)));
        save(bits == 1 ? "1.bmp" : bits == 4 ? "4.bmp" : "8.bmp", file);
    }
    BmpLayout rgb565{
        .width = 5, .height = -3, .bitCount = 16, .compression = kBiBitFields, .masks = {0xf800, 0x07e0, 0x001f}};
    save("565-top-down.bmp", makeBmp(rgb565, packRows(rgb565, indices(5, 3, 65536))));
    BmpLayout rgb32{.width = 5, .height = 3, .bitCount = 32};
    save("32.bmp", makeBmp(rgb32, packRows(rgb32, indices(5, 3, 1 << 24))));
    BmpLayout rle8{.width = 5, .height = 3, .bitCount = 8, .compression = kBiRle8, .palette = palette(8)};
    save("rle8.bmp",
         makeBmp(rle8,
                 QByteArray("\x03\x01\x02\x02\x00\x00\x00\x03\x05\x06\x07\x00"
                            "\x00\x02\x01\x01\x02\x04\x00\x01",
                            20)));
    BmpLayout rle4{.width = 5, .height = 3, .bitCount = 4, .compression = kBiRle4, .palette = palette(16)};
    save("rle4.bmp",
         makeBmp(rle4,
                 QByteArray("\x05\x12\x00\x00\x00\x05\x34\x56\x70\x00\x00\x00"
                            "\x02\xab\x03\xcd\x00\x01",
                            18)));
    std::printf("%d seed files in %s\n", written, argv[1]);
    return written == wanted ? 0 : 1;
}
