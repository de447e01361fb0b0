#include "imaging/BmpCodec.h"
#include "imaging/DecodeCancel.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLimits.h"
#include "imaging/PictureLoader.h"
#include "imaging/StretchDraw.h"
#include "imaging/TBitmap.h"
#include "imaging/ThumbnailFit.h"
#include "fixtures/BmpFixtures.h"
#include "fixtures/JpegFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zavio;
using zavio::test::BmpLayout;
using zavio::test::JpegFixture;

// The statement must throw a PictureError whose message contains part.
#define EXPECT_PICTURE_ERROR(statement, part)                                                                          \
    do {                                                                                                               \
        try {                                                                                                          \
            statement;                                                                                                 \
            ADD_FAILURE() << "no PictureError from " #statement;                                                       \
        } catch (const zavio::PictureError& error_) {                                                                  \
            EXPECT_TRUE(error_.message().contains(part))                                                               \
                << error_.what() << "\n  does not contain " << QString(part).toStdString();                            \
        }                                                                                                              \
    } while (0)

namespace {

TBitmap gradient(int width, int height, bool gray)
{
    TBitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int r = x * 255 / (width - 1);
            const int g = y * 255 / (height - 1);
            if (gray)
                b.setPixel(x, y, std::uint8_t((r + g) / 2), std::uint8_t((r + g) / 2), std::uint8_t((r + g) / 2));
            else
                b.setPixel(x, y, std::uint8_t(r), std::uint8_t(g), std::uint8_t(255 - (r + g) / 2));
        }
    return b;
}

// Every pixel different, so a pixel taken from the wrong place shows.
TBitmap numbered(int width, int height)
{
    TBitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, std::uint8_t(10 + x), std::uint8_t(100 + y), std::uint8_t(x * 16 + y));
    return b;
}

TBitmap filled(int width, int height, QRgb colour)
{
    TBitmap b(width, height);
    b.fill(std::uint8_t(qRed(colour)), std::uint8_t(qGreen(colour)), std::uint8_t(qBlue(colour)));
    return b;
}

int maxDifference(const TBitmap& a, const TBitmap& b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = std::max(
                {worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

bool samePixels(const TBitmap& a, const TBitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() && maxDifference(a, b) == 0;
}

constexpr QRgb kSentinel = 0xff5a5a5a;

// ---- sizes ------------------------------------------------------------------

TEST(PictureLimits, RefusesSizesOutsideTheBudget)
{
    EXPECT_NO_THROW(checkPictureSize(65535, 1));
    EXPECT_NO_THROW(checkPictureSize(1, 65535));
    EXPECT_NO_THROW(checkPictureSize(16000, 16000)); // exactly 256 000 000 pixels
    EXPECT_PICTURE_ERROR(checkPictureSize(65536, 1), "65536 × 1");
    EXPECT_PICTURE_ERROR(checkPictureSize(1, 65536), "大きすぎます");
    EXPECT_PICTURE_ERROR(checkPictureSize(16000, 16001), "2 億 5600 万ピクセル");
    EXPECT_PICTURE_ERROR(checkPictureSize(std::int64_t(1) << 40, std::int64_t(1) << 40), "大きすぎます");
    EXPECT_PICTURE_ERROR(checkPictureSize(0, 10), "0 です");
    EXPECT_PICTURE_ERROR(checkPictureSize(10, 0), "0 です");
    EXPECT_PICTURE_ERROR(checkPictureSize(-5, 10), "正しくありません");
}

TEST(TBitmap, HoldsBlackBgrPixelsAndConvertsAnyImage)
{
    TBitmap b(3, 2);
    EXPECT_EQ(b.image().format(), QImage::Format_BGR888);
    EXPECT_EQ(b.pixel(2, 1), qRgb(0, 0, 0));
    b.setPixel(1, 0, 10, 20, 30);
    EXPECT_EQ(b.pixel(1, 0), qRgb(10, 20, 30));
    EXPECT_EQ(b.scanLine(0)[3], 30); // blue first
    EXPECT_EQ(b.scanLine(0)[5], 10);

    // Copies share pixels until written.
    TBitmap copy = b;
    EXPECT_TRUE(copy.samePixels(b));
    copy.setPixel(1, 0, 1, 2, 3);
    EXPECT_EQ(b.pixel(1, 0), qRgb(10, 20, 30));
    EXPECT_FALSE(copy.samePixels(b));
    EXPECT_FALSE(TBitmap(2, 3).samePixels(TBitmap(3, 2)));
    EXPECT_TRUE(TBitmap().samePixels(TBitmap()));

    EXPECT_PICTURE_ERROR(TBitmap(70000, 1), "大きすぎます");
    EXPECT_PICTURE_ERROR(TBitmap(0, 1), "0 です");

    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3), qRgb(200, 100, 50)});
    indexed.setPixel(0, 0, 1);
    indexed.setPixel(1, 0, 0);
    TBitmap fromIndexed = TBitmap::fromImage(indexed);
    EXPECT_EQ(fromIndexed.pixel(0, 0), qRgb(200, 100, 50));
    EXPECT_EQ(fromIndexed.pixel(1, 0), qRgb(1, 2, 3));

    QImage rgb16(1, 1, QImage::Format_RGB16);
    rgb16.setPixel(0, 0, qRgb(255, 0, 255));
    EXPECT_EQ(TBitmap::fromImage(rgb16).pixel(0, 0), qRgb(255, 0, 255));

    QImage gray(1, 1, QImage::Format_Grayscale8);
    gray.fill(77);
    EXPECT_EQ(TBitmap::fromImage(gray).pixel(0, 0), qRgb(77, 77, 77));

    // Transparency is ignored: every pixel keeps the colour it stores.
    QImage alpha(3, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(200, 100, 50, 128));
    alpha.setPixel(1, 0, qRgba(255, 254, 253, 0));
    alpha.setPixel(2, 0, qRgba(1, 2, 3, 255));
    TBitmap fromAlpha = TBitmap::fromImage(alpha);
    EXPECT_EQ(fromAlpha.pixel(0, 0), qRgb(200, 100, 50));
    EXPECT_EQ(fromAlpha.pixel(1, 0), qRgb(255, 254, 253));
    EXPECT_EQ(fromAlpha.pixel(2, 0), qRgb(1, 2, 3));
    QImage rgba(1, 1, QImage::Format_RGBA8888);
    rgba.setPixel(0, 0, qRgba(9, 8, 7, 0));
    EXPECT_EQ(TBitmap::fromImage(rgba).pixel(0, 0), qRgb(9, 8, 7));

    QImage deep(1, 1, QImage::Format_RGBA64);
    deep.setPixelColor(0, 0, QColor(10, 20, 30));
    EXPECT_EQ(TBitmap::fromImage(deep).pixel(0, 0), qRgb(10, 20, 30));

    EXPECT_TRUE(TBitmap::fromImage(QImage()).isEmpty());
}

// ---- placing and drawing thumbnails -------------------------------------------

TEST(ThumbnailFit, PlacesPicturesByTheirRatio)
{
    struct Case {
        int w, h;
        FitRect expected;
    };
    const Case cases[] = {
        {640, 480, {0, 0, 131, 101}},   {1600, 1200, {0, 0, 131, 101}}, {1550, 1000, {0, 0, 131, 101}},
        {1551, 1000, {0, 17, 131, 82}}, {1920, 1080, {0, 22, 131, 78}}, {2000, 1000, {0, 25, 131, 75}},
        {3000, 1000, {0, 33, 131, 66}}, {1250, 1000, {0, 0, 131, 101}}, {1249, 1000, {-11, 0, 158, 101}},
        {1000, 1000, {5, 0, 133, 101}}, {480, 640, {21, 0, 108, 101}},  {1080, 1920, {33, 0, 89, 101}},
        {500, 1000, {37, 0, 83, 101}},  {50, 1000, {67, 0, 39, 101}},
    };
    for (const Case& c : cases) {
        const FitRect r = ThumbnailFit(c.w, c.h, 131, 101, 5, 0);
        EXPECT_EQ(r, c.expected) << c.w << "x" << c.h << " gave " << r.left << "," << r.top << "," << r.right << ","
                                 << r.bottom;
    }
    // k comes off the right edge of a narrow picture only.
    EXPECT_EQ(ThumbnailFit(1000, 1000, 131, 101, 5, 3), (FitRect{5, 0, 130, 101}));
    EXPECT_PICTURE_ERROR(ThumbnailFit(100, 0, 131, 101, 5, 0), "高さが 0");
}

TEST(ThumbnailFit, PreviewsShowSmallPicturesAtTheirOwnSize)
{
    // The comment viewer's 571 x 421 area, margin and right offset 40.
    EXPECT_EQ(PreviewFit(300, 400, 571, 421, 40, 40), (FitRect{0, 0, 300, 400}));
    EXPECT_EQ(PreviewFit(800, 400, 571, 421, 40, 40), (FitRect{0, 105, 571, 315}));
    EXPECT_EQ(PreviewFit(600, 800, 571, 421, 40, 40), (FitRect{111, 0, 443, 421}));
    EXPECT_EQ(PreviewFit(1024, 768, 571, 421, 40, 40), (FitRect{0, 0, 571, 421}));
    EXPECT_EQ(PreviewFit(1550, 1000, 571, 421, 40, 40), (FitRect{0, 0, 571, 421}));
    EXPECT_EQ(PreviewFit(1250, 1000, 571, 421, 40, 40), (FitRect{0, 0, 571, 421}));
    EXPECT_EQ(PreviewFit(571, 300, 571, 421, 40, 40), ThumbnailFit(571, 300, 571, 421, 40, 40))
        << "as wide as the area: fitted, not drawn at its own size";
    // The rotation preview's 317 x 237 box.
    EXPECT_EQ(PreviewFit(1000, 500, 317, 237, 40, 40), (FitRect{0, 59, 317, 177}));
    EXPECT_EQ(PreviewFit(800, 600, 317, 237, 40, 40), (FitRect{0, 0, 317, 237}));
    EXPECT_EQ(PreviewFit(600, 800, 317, 237, 40, 40), (FitRect{79, 0, 236, 237}));
    EXPECT_EQ(PreviewFit(1000, 1000, 317, 237, 40, 40), (FitRect{40, 0, 297, 237}));
    EXPECT_EQ(PreviewFit(300, 1000, 317, 237, 40, 40), (FitRect{150, 0, 130, 237})) << "drawn mirrored";
}

TEST(StretchDraw, RepeatsAndDropsPixelsByNearestNeighbour)
{
    const TBitmap source = numbered(4, 4);

    TBitmap same(4, 4);
    stretchDraw(same, {0, 0, 4, 4}, source);
    EXPECT_TRUE(samePixels(same, source));

    // Doubling repeats every pixel twice in both directions.
    const TBitmap small = numbered(2, 2);
    TBitmap doubled(4, 4);
    stretchDraw(doubled, {0, 0, 4, 4}, small);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(doubled.pixel(x, y), small.pixel(x / 2, y / 2)) << x << "," << y;

    // Halving takes the pixel under each destination centre: 1 and 3.
    TBitmap halved(2, 2);
    stretchDraw(halved, {0, 0, 2, 2}, source);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(halved.pixel(x, y), source.pixel(2 * x + 1, 2 * y + 1)) << x << "," << y;

    // A large picture into a thumbnail cell.
    const TBitmap big = numbered(400, 300);
    TBitmap cell(131, 101);
    stretchDraw(cell, {0, 0, 131, 101}, big);
    EXPECT_EQ(cell.pixel(0, 0), big.pixel(1, 1));
    EXPECT_EQ(cell.pixel(130, 100), big.pixel(398, 298));
}

TEST(StretchDraw, ClipsToTheCanvasOnEverySide)
{
    const TBitmap source = numbered(4, 4);
    const FitRect rects[] = {{-2, 0, 2, 4}, {2, 0, 6, 4}, {0, -3, 4, 1}, {0, 3, 4, 7}, {-1, -1, 3, 3}};
    for (const FitRect& r : rects) {
        TBitmap canvas = filled(4, 4, kSentinel);
        stretchDraw(canvas, r, source);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                const QRgb expected = inside ? source.pixel(x - r.left, y - r.top) : kSentinel;
                EXPECT_EQ(canvas.pixel(x, y), expected)
                    << "rect " << r.left << "," << r.top << " pixel " << x << "," << y;
            }
    }

    // A rectangle a million pixels wide costs nothing for the part off the
    // canvas; its middle (between source columns 0 and 1) falls at x = 2.
    TBitmap twoColours(2, 1);
    twoColours.setPixel(0, 0, 255, 0, 0);
    twoColours.setPixel(1, 0, 0, 0, 255);
    TBitmap strip(6, 1);
    stretchDraw(strip, {-499998, 0, 500002, 1}, twoColours);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(strip.pixel(x, 0), x < 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255)) << x;

    TBitmap untouched = filled(4, 4, kSentinel);
    stretchDraw(untouched, {10, 0, 20, 4}, source);
    stretchDraw(untouched, {0, -9, 4, -1}, source);
    EXPECT_TRUE(samePixels(untouched, filled(4, 4, kSentinel)));
}

TEST(StretchDraw, MirrorsReversedEdgesAndSkipsEmptyOnes)
{
    const TBitmap source = numbered(4, 2);

    // Right left of left: columns [0, 4) hold the picture mirrored.
    TBitmap mirrored = filled(5, 2, kSentinel);
    stretchDraw(mirrored, {4, 0, 0, 2}, source);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            EXPECT_EQ(mirrored.pixel(x, y), source.pixel(3 - x, y));
    EXPECT_EQ(mirrored.pixel(4, 0), kSentinel);

    TBitmap flipped(4, 2);
    stretchDraw(flipped, {0, 2, 4, 0}, source);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(flipped.pixel(x, 0), source.pixel(x, 1));

    // Mirrored and clipped: [-1, 3) with column 2 holding source column 0.
    TBitmap clipped(2, 2);
    stretchDraw(clipped, {3, 0, -1, 2}, source);
    EXPECT_EQ(clipped.pixel(1, 0), source.pixel(1, 0));
    EXPECT_EQ(clipped.pixel(0, 0), source.pixel(2, 0));

    // The shape ThumbnailFit gives a 50 x 1000 picture: (67, 0, 39, 101).
    const TBitmap narrow = numbered(28, 101);
    TBitmap cell = filled(131, 101, kSentinel);
    stretchDraw(cell, ThumbnailFit(50, 1000, 131, 101, 5, 0), narrow);
    for (int y : {0, 50, 100}) {
        EXPECT_EQ(cell.pixel(66, y), narrow.pixel(0, y));
        EXPECT_EQ(cell.pixel(39, y), narrow.pixel(27, y));
        EXPECT_EQ(cell.pixel(67, y), kSentinel);
        EXPECT_EQ(cell.pixel(38, y), kSentinel);
    }

    TBitmap nothing = filled(4, 4, kSentinel);
    stretchDraw(nothing, {2, 0, 2, 4}, source);
    stretchDraw(nothing, {0, 1, 4, 1}, source);
    stretchDraw(nothing, {0, 0, 4, 4}, TBitmap());
    EXPECT_TRUE(samePixels(nothing, filled(4, 4, kSentinel)));

    // Drawing a picture onto itself reads the pixels as they were.
    TBitmap self = numbered(4, 1);
    const TBitmap before = numbered(4, 1);
    stretchDraw(self, {1, 0, 5, 1}, self);
    EXPECT_EQ(self.pixel(0, 0), before.pixel(0, 0));
    for (int x = 1; x < 4; ++x)
        EXPECT_EQ(self.pixel(x, 0), before.pixel(x - 1, 0)) << x;
}

// ---- JPEG ----------------------------------------------------------------------

QByteArray withFrameSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = jpeg.indexOf("\xff\xc0");
    if (sof < 0)
        return {};
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xff);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xff);
    return jpeg;
}

std::vector<std::uint8_t> samplesOf(int width, int height, int perPixel,
                                    const std::function<std::uint8_t(int, int, int)>& sample)
{
    std::vector<std::uint8_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < perPixel; ++c)
                out.push_back(sample(x, y, c));
    return out;
}

TEST(Jpeg, EncodesBaselineAndDecodesItBackClosely)
{
    for (bool gray : {false, true}) {
        const TBitmap original = gradient(67, 45, gray);
        const QByteArray jpeg = TJPEGImage::encode(original, 95);
        ASSERT_TRUE(jpeg.startsWith("\xff\xd8"));
        EXPECT_TRUE(jpeg.contains("\xff\xc0")) << "not a baseline frame";
        EXPECT_FALSE(jpeg.contains("\xff\xc2"));

        const TJPEGImage::Header header = TJPEGImage::readHeader(jpeg);
        EXPECT_EQ(header.width, 67);
        EXPECT_EQ(header.height, 45);
        const TBitmap decoded = TJPEGImage::decode(jpeg);
        ASSERT_EQ(decoded.width(), 67);
        ASSERT_EQ(decoded.height(), 45);
        EXPECT_LE(maxDifference(original, decoded), gray ? 4 : 12);
        // The same bytes always give the same pixels.
        EXPECT_TRUE(samePixels(decoded, TJPEGImage::decode(jpeg)));
    }
    const TBitmap picture = gradient(64, 64, false);
    EXPECT_LT(TJPEGImage::encode(picture, 20).size(), TJPEGImage::encode(picture, 95).size());
    EXPECT_PICTURE_ERROR(TJPEGImage::encode(TBitmap()), "空の画像");
}

TEST(Jpeg, WritesAndReadsApplicationMarkersInOrder)
{
    const TBitmap picture = gradient(16, 16, false);
    const std::vector<JpegMarker> markers{{0xe1, "first"}, {0xe2, QByteArray(kMaxMarkerPayload, 'p')}, {0xe1, "third"}};
    const QByteArray jpeg = TJPEGImage::encode(picture, 90, markers);
    EXPECT_TRUE(samePixels(TJPEGImage::decode(jpeg), TJPEGImage::decode(TJPEGImage::encode(picture, 90))));

    const std::vector<int> both{0xe1, 0xe2};
    const std::vector<JpegMarker> read = TJPEGImage::readMarkers(jpeg, both);
    ASSERT_EQ(read.size(), 3u);
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].code, markers[i].code);
        EXPECT_EQ(read[i].payload, markers[i].payload);
    }
    const std::vector<int> app2{0xe2};
    EXPECT_EQ(TJPEGImage::readMarkers(jpeg, app2).size(), 1u);
    EXPECT_TRUE(TJPEGImage::readMarkers(TJPEGImage::encode(picture), both).empty()) << "JFIF is APP0";

    // What libjpeg could not write, or would write as another segment, is refused.
    const std::vector<JpegMarker> tooLong{{0xe1, QByteArray(kMaxMarkerPayload + 1, 'x')}};
    EXPECT_PICTURE_ERROR(TJPEGImage::encode(picture, 90, tooLong), "マーカー");
    const std::vector<JpegMarker> frame{{0xc0, "x"}};
    EXPECT_PICTURE_ERROR(TJPEGImage::encode(picture, 90, frame), "マーカー");
    const std::vector<int> scan{0xda};
    EXPECT_PICTURE_ERROR(TJPEGImage::readMarkers(jpeg, scan), "マーカー");
    EXPECT_PICTURE_ERROR(TJPEGImage::readMarkers(jpeg.left(30), both), "データが途中で終わっています");
}

TEST(Jpeg, DecodesGrayProgressiveAndInvertedCmykFiles)
{
    JpegFixture gray{16, 8, JpegFixture::Space::Gray,
                     samplesOf(16, 8, 1, [](int x, int, int) { return std::uint8_t(x * 16); })};
    const TBitmap g = TJPEGImage::decode(zavio::test::makeJpeg(gray));
    ASSERT_EQ(g.width(), 16);
    for (int x = 0; x < 16; ++x) {
        const QRgb p = g.pixel(x, 4);
        EXPECT_NEAR(qRed(p), x * 16, 4);
        EXPECT_EQ(qRed(p), qGreen(p));
        EXPECT_EQ(qRed(p), qBlue(p));
    }

    JpegFixture progressive{24, 16, JpegFixture::Space::Rgb, samplesOf(24, 16, 3, [](int x, int y, int c) {
                                return std::uint8_t(c == 0 ? x * 10 : c == 1 ? y * 15 : 128);
                            })};
    progressive.progressive = true;
    const QByteArray progressiveJpeg = zavio::test::makeJpeg(progressive);
    ASSERT_TRUE(progressiveJpeg.contains("\xff\xc2"));
    const TBitmap p = TJPEGImage::decode(progressiveJpeg);
    EXPECT_NEAR(qRed(p.pixel(20, 3)), 200, 6);
    EXPECT_NEAR(qGreen(p.pixel(20, 3)), 45, 6);
    EXPECT_NEAR(qBlue(p.pixel(20, 3)), 128, 6);

    // Stored inverted: red is C * K / 255, and so on. Left half orange, right half dark blue.
    for (auto space : {JpegFixture::Space::Cmyk, JpegFixture::Space::Ycck}) {
        JpegFixture cmyk{16, 8, space, samplesOf(16, 8, 4, [](int x, int, int c) {
                             static const std::uint8_t left[] = {255, 128, 0, 255};
                             static const std::uint8_t right[] = {0, 0, 255, 128};
                             return x < 8 ? left[c] : right[c];
                         })};
        const TBitmap decoded = TJPEGImage::decode(zavio::test::makeJpeg(cmyk));
        const QRgb orange = decoded.pixel(3, 4);
        const QRgb blue = decoded.pixel(12, 4);
        EXPECT_NEAR(qRed(orange), 255, 6);
        EXPECT_NEAR(qGreen(orange), 128, 6);
        EXPECT_NEAR(qBlue(orange), 0, 6);
        EXPECT_NEAR(qRed(blue), 0, 6);
        EXPECT_NEAR(qGreen(blue), 0, 6);
        EXPECT_NEAR(qBlue(blue), 128, 6);
    }
}

// A cancel check that counts how often a decode asks it and says stop from
// the stopAt-th time on (never when stopAt is 0).
struct CountingCheck {
    mutable int calls = 0;
    int stopAt = 0;
    static bool check(const void* context) noexcept
    {
        const auto* self = static_cast<const CountingCheck*>(context);
        ++self->calls;
        return self->stopAt > 0 && self->calls >= self->stopAt;
    }
};

TEST(Jpeg, ACancelledDecodeStopsWithinAFewRowsAndAnotherDecodesAsBefore)
{
    const TBitmap original = gradient(96, 800, false);
    JpegFixture progressive{64, 256, JpegFixture::Space::Rgb, samplesOf(64, 256, 3, [](int x, int y, int c) {
                                return std::uint8_t(c == 0 ? x * 4 : c == 1 ? y : 128);
                            })};
    progressive.progressive = true;
    JpegFixture cmyk{64, 256, JpegFixture::Space::Cmyk,
                     samplesOf(64, 256, 4, [](int x, int y, int c) { return std::uint8_t(c == 3 ? 200 : x + y); })};
    const std::pair<const char*, QByteArray> files[] = {{"baseline", TJPEGImage::encode(original, 90)},
                                                        {"progressive", zavio::test::makeJpeg(progressive)},
                                                        {"cmyk", zavio::test::makeJpeg(cmyk)}};
    for (const auto& [kind, jpeg] : files) {
        SCOPED_TRACE(kind);
        const TBitmap plain = TJPEGImage::decode(jpeg);
        if (std::string_view(kind) == "baseline") {
            EXPECT_LE(maxDifference(original, plain), 12);
        }

        // A scope that never says stop changes nothing, and is asked every few
        // rows of the output pass, not only between scans.
        CountingCheck watch;
        {
            const DecodeCancelScope scope(&CountingCheck::check, &watch);
            EXPECT_TRUE(samePixels(TJPEGImage::decode(jpeg), plain));
        }
        EXPECT_GE(watch.calls, plain.height() / 16);

        // Told to stop, the decode stops at that very check, not as a broken
        // picture; an outer scope is heard through an inner one.
        CountingCheck outer{0, 3};
        CountingCheck inner;
        TBitmap into;
        try {
            const DecodeCancelScope outerScope(&CountingCheck::check, &outer);
            const DecodeCancelScope innerScope(&CountingCheck::check, &inner);
            TJPEGImage::decodeInto(jpeg, into);
            ADD_FAILURE() << "the cancelled decode finished";
        } catch (const DecodeCancelled&) {
        } catch (const PictureError& error) {
            ADD_FAILURE() << "cancelled as a broken picture: " << error.what();
        }
        EXPECT_EQ(outer.calls, 3);
        EXPECT_EQ(inner.calls, 3);
        EXPECT_LT(outer.calls, watch.calls);

        // With the scopes gone, the same bytes decode as before.
        EXPECT_TRUE(samePixels(TJPEGImage::decode(jpeg), plain));
        EXPECT_FALSE(decodeCancelled());
    }

    // BMP, read by Qt in one call, stops around it.
    const QByteArray bmp = encodeBmp24(original);
    CountingCheck stop{0, 1};
    {
        const DecodeCancelScope scope(&CountingCheck::check, &stop);
        EXPECT_THROW(decodeBmp(bmp), DecodeCancelled);
    }
    EXPECT_TRUE(samePixels(decodeBmp(bmp), original));
}

TEST(Jpeg, RefusesBrokenDataWithJapaneseMessages)
{
    const QByteArray good = TJPEGImage::encode(gradient(64, 64, false), 90);
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(good.left(good.size() / 2)), "途中で終わっています");
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(good.left(good.size() - 2)), "途中で終わっています");
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(good.left(20)), "途中で終わっています");
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(QByteArray()), "空です");
    EXPECT_PICTURE_ERROR(TJPEGImage::readHeader(QByteArray()), "空です");
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(QByteArray("\xff")), "JPEG を解読できません");
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(QByteArray("hello, world")), "JPEG ファイルではありません");
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(encodeBmp24(gradient(4, 4, false))), "JPEG ファイルではありません");

    std::mt19937 random(7);
    QByteArray noise(4096, '\0');
    for (char& c : noise)
        c = char(random());
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(noise), "JPEG");
    // Noise in place of the second half: libjpeg decodes garbage, then finds
    // the data ending without its end marker.
    QByteArray corrupted = good;
    for (qsizetype i = corrupted.size() / 2; i < corrupted.size(); ++i)
        corrupted[i] = char(random() % 0xff); // never 0xff, so no marker and no end

    EXPECT_THROW(TJPEGImage::decode(corrupted), PictureError);

    JpegFixture manyScans{8, 8, JpegFixture::Space::Gray,
                          samplesOf(8, 8, 1, [](int x, int y, int) { return std::uint8_t(x * y); })};
    manyScans.everyBitItsOwnScan = true;
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(zavio::test::makeJpeg(manyScans)), "スキャンの数");
}

TEST(Jpeg, RefusesHugeFramesFromTheHeader)
{
    const QByteArray small = TJPEGImage::encode(gradient(16, 16, false), 90);
    // Beyond what libjpeg itself accepts, and beyond the pixel budget.
    const QByteArray huge = withFrameSize(small, 65535, 65535);
    ASSERT_FALSE(huge.isEmpty());
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(huge), "画像が大きすぎます（65535 × 65535 ピクセル）");
    EXPECT_PICTURE_ERROR(TJPEGImage::readHeader(huge), "65535 × 65535");
    // Both sides are fine, the product is not.
    const QByteArray tooMany = withFrameSize(small, 16001, 16000);
    EXPECT_EQ(TJPEGImage::readHeader(tooMany).width, 16001);
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(tooMany), "16001 × 16000");
    EXPECT_PICTURE_ERROR(TJPEGImage::decode(withFrameSize(small, 0, 16)), "JPEG");
}

TEST(Jpeg, DecodesOnSeveralThreadsAtOnce)
{
    const QByteArray first = TJPEGImage::encode(gradient(120, 80, false), 85);
    const QByteArray second = TJPEGImage::encode(gradient(50, 70, true), 60);
    const QByteArray broken = first.left(first.size() / 2);
    const TBitmap firstPixels = TJPEGImage::decode(first);
    const TBitmap secondPixels = TJPEGImage::decode(second);

    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 30; ++i) {
                try {
                    switch ((i + t) % 3) {
                    case 0:
                        wrong += !samePixels(TJPEGImage::decode(first), firstPixels);
                        break;
                    case 1:
                        wrong += !samePixels(TJPEGImage::decode(second), secondPixels);
                        break;
                    default:
                        TJPEGImage::decode(broken);
                        ++wrong;
                    }
                } catch (const PictureError& error) {
                    wrong += !error.message().contains(QStringLiteral("途中で終わっています"));
                }
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

// ---- BMP -----------------------------------------------------------------------

constexpr int kW = 5; // odd, so every depth has padded rows
constexpr int kH = 3;

std::vector<std::vector<std::uint32_t>> valuesOf(const std::function<std::uint32_t(int, int)>& value)
{
    std::vector<std::vector<std::uint32_t>> rows(kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            rows[std::size_t(y)].push_back(value(x, y));
    return rows;
}

std::vector<QRgb> paletteOf(int count)
{
    std::vector<QRgb> palette;
    for (int i = 0; i < count; ++i)
        palette.push_back(qRgb(i * 37 % 256, 255 - i * 11 % 256, i * 5 % 256));
    return palette;
}

void expectPixels(const QByteArray& file, const std::function<QRgb(int, int)>& expected, const char* what)
{
    SCOPED_TRACE(what);
    TBitmap b;
    try {
        b = decodeBmp(file);
    } catch (const PictureError& error) {
        FAIL() << error.what();
    }
    ASSERT_EQ(b.width(), kW);
    ASSERT_EQ(b.height(), kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            EXPECT_EQ(b.pixel(x, y), expected(x, y)) << x << "," << y;
}

// Qt widens five and six bits by a shift (newer versions also repeat the top
// bits); both land in [v << s, (v << s) | low bits].
bool widened(int actual, std::uint32_t value, int bits)
{
    const int low = int(value << (8 - bits));
    return actual >= low && actual <= (low | ((1 << (8 - bits)) - 1));
}

TEST(Bmp, DecodesEveryDepthAndLayout)
{
    auto index = [](int modulo) { return [modulo](int x, int y) { return std::uint32_t((x + 2 * y) % modulo); }; };

    for (bool darkFirst : {true, false}) {
        // Qt swaps the two colours of a 1-bit file whose colour 0 is the lighter one.
        BmpLayout mono{.width = kW, .height = kH, .bitCount = 1};
        mono.palette = darkFirst ? std::vector<QRgb>{qRgb(16, 32, 48), qRgb(224, 208, 192)}
                                 : std::vector<QRgb>{qRgb(250, 250, 250), qRgb(5, 5, 5)};
        expectPixels(
            makeBmp(mono, packRows(mono, valuesOf(index(2)))),
            [&](int x, int y) { return mono.palette[std::size_t((x + 2 * y) % 2)]; }, "1 bit");
    }

    BmpLayout four{.width = kW, .height = kH, .bitCount = 4, .palette = paletteOf(16)};
    expectPixels(
        makeBmp(four, packRows(four, valuesOf(index(16)))),
        [&](int x, int y) { return four.palette[std::size_t((x + 2 * y) % 16)]; }, "4 bits");

    BmpLayout eight{.width = kW, .height = kH, .bitCount = 8, .palette = paletteOf(256)};
    auto index8 = [](int x, int y) { return std::uint32_t((x * 40 + y * 13) % 256); };
    expectPixels(
        makeBmp(eight, packRows(eight, valuesOf(index8))), [&](int x, int y) { return eight.palette[index8(x, y)]; },
        "8 bits");

    // 16 bits: 5-5-5 by default and by masks, 5-6-5 by masks.
    struct Sixteen {
        const char* name;
        std::uint32_t compression;
        std::array<std::uint32_t, 3> masks;
        int greenBits;
    };
    for (const Sixteen& s :
         {Sixteen{"555", test::kBiRgb, {}, 5}, Sixteen{"555 masks", test::kBiBitFields, {0x7c00, 0x03e0, 0x001f}, 5},
          Sixteen{"565 masks", test::kBiBitFields, {0xf800, 0x07e0, 0x001f}, 6}}) {
        SCOPED_TRACE(s.name);
        BmpLayout layout{.width = kW, .height = kH, .bitCount = 16, .compression = s.compression, .masks = s.masks};
        auto r = [](int x, int) { return std::uint32_t(x * 7); };
        auto g = [&](int, int y) { return std::uint32_t(y * (s.greenBits == 6 ? 29 : 13)); };
        auto b = [](int x, int y) { return std::uint32_t(31 - x - y); };
        const int redShift = s.greenBits == 6 ? 11 : 10;
        const QByteArray file = makeBmp(layout, packRows(layout, valuesOf([&](int x, int y) {
                                                             return r(x, y) << redShift | g(x, y) << 5 | b(x, y);
                                                         })));
        const TBitmap decoded = decodeBmp(file);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const QRgb p = decoded.pixel(x, y);
                EXPECT_TRUE(widened(qRed(p), r(x, y), 5)) << x << "," << y << " red " << qRed(p);
                EXPECT_TRUE(widened(qGreen(p), g(x, y), s.greenBits)) << x << "," << y << " green " << qGreen(p);
                EXPECT_TRUE(widened(qBlue(p), b(x, y), 5)) << x << "," << y << " blue " << qBlue(p);
            }
    }

    auto colour = [](int x, int y) { return std::uint32_t(0x102030 + x * 0x200000 + y * 0x000a01); };
    for (int sign : {1, -1}) {
        BmpLayout layout{.width = kW, .height = sign * kH, .bitCount = 24};
        expectPixels(
            makeBmp(layout, packRows(layout, valuesOf(colour))),
            [&](int x, int y) { return 0xff000000 | colour(x, y); },
            sign > 0 ? "24 bits bottom-up" : "24 bits top-down");
    }
    // The fourth byte of a plain 32-bit file is not alpha.
    for (std::uint32_t fourth : {0x00000000u, 0x7f000000u}) {
        BmpLayout layout{.width = kW, .height = -kH, .bitCount = 32};
        expectPixels(
            makeBmp(layout, packRows(layout, valuesOf([&](int x, int y) { return fourth | colour(x, y); }))),
            [&](int x, int y) { return 0xff000000 | colour(x, y); }, "32 bits");
    }
}

TEST(Bmp, ThirtyTwoBitsWithAlphaShowTheirColoursAsStored)
{
    // Alpha 0, 128 and 255 across each row: a picture with an alpha channel
    // shows as its 24-bit conversion would, whatever the transparency.
    auto colour = [](int x, int y) { return std::uint32_t(0x30a0f0 + x * 0x0b0103 + y * 0x010501); };
    auto alpha = [](int x, int) { return std::uint32_t(std::array<int, 3>{0, 128, 255}[std::size_t(x % 3)]); };
    BmpLayout layout{.width = kW,
                     .height = kH,
                     .bitCount = 32,
                     .compression = test::kBiBitFields,
                     .masks = {0x00ff0000, 0x0000ff00, 0x000000ff},
                     .alphaMask = 0xff000000};
    const QByteArray file =
        makeBmp(layout, packRows(layout, valuesOf([&](int x, int y) { return alpha(x, y) << 24 | colour(x, y); })));
    expectPixels(
        file, [&](int x, int y) { return 0xff000000 | colour(x, y); }, "32 bits with alpha");

    // The same through the loader every window uses.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("alpha.bmp"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();
    TBitmap loaded;
    ASSERT_TRUE(loadPicture(FilePath(path), loaded));
    EXPECT_EQ(loaded.pixel(0, 0), 0xff000000 | colour(0, 0)) << "alpha 0";
    EXPECT_EQ(loaded.pixel(1, 1), 0xff000000 | colour(1, 1)) << "alpha 128";
    EXPECT_EQ(loaded.pixel(2, 2), 0xff000000 | colour(2, 2)) << "alpha 255";
}

TEST(Bmp, DecodesRunLengthFiles)
{
    // Rows bottom-up. Row 2 (stored first): runs of 3, 1 and 1; row 1: a run
    // of 5; row 0: 3 literal pixels (padded to a word), then the end of the picture.
    BmpLayout rle8{.width = kW, .height = kH, .bitCount = 8, .compression = test::kBiRle8, .palette = paletteOf(8)};
    const QByteArray rle8Data("\x03\x01\x01\x02\x01\x03"
                              "\x00\x00"
                              "\x05\x04"
                              "\x00\x00"
                              "\x00\x03\x05\x06\x07\x00"
                              "\x00\x01",
                              20);
    const int rows8[kH][kW] = {{5, 6, 7, 0, 0}, {4, 4, 4, 4, 4}, {1, 1, 1, 2, 3}};
    // Pixels the file never reaches keep colour 0 of the palette.
    expectPixels(
        makeBmp(rle8, rle8Data), [&](int x, int y) { return rle8.palette[std::size_t(rows8[y][x])]; }, "RLE8");

    // Four bits: a run alternates the two nibbles of its byte.
    BmpLayout rle4{.width = kW, .height = kH, .bitCount = 4, .compression = test::kBiRle4, .palette = paletteOf(16)};
    const QByteArray rle4Data("\x05\x12"
                              "\x00\x00"
                              "\x00\x05\x34\x56\x70\x00"
                              "\x00\x00"
                              "\x02\xab\x03\xcd"
                              "\x00\x01",
                              18);
    const int rows4[kH][kW] = {{10, 11, 12, 13, 12}, {3, 4, 5, 6, 7}, {1, 2, 1, 2, 1}};
    expectPixels(
        makeBmp(rle4, rle4Data), [&](int x, int y) { return rle4.palette[std::size_t(rows4[y][x])]; }, "RLE4");
}

TEST(Bmp, RefusesBadHeadersAndHugeSizes)
{
    BmpLayout layout{.width = kW, .height = kH, .bitCount = 24};
    const QByteArray good = makeBmp(layout, packRows(layout, valuesOf([](int, int) { return 0x808080u; })));
    auto patched = [&](int at, char value) {
        QByteArray bad = good;
        bad[at] = value;
        return bad;
    };
    EXPECT_PICTURE_ERROR(decodeBmp(QByteArray()), "空です");
    EXPECT_PICTURE_ERROR(decodeBmp(QByteArray("BM")), "BMP の形式が正しくありません");
    EXPECT_PICTURE_ERROR(decodeBmp(patched(0, 'X')), "BMP の形式が正しくありません");
    EXPECT_PICTURE_ERROR(decodeBmp(patched(28, 7)), "BMP の形式が正しくありません"); // 7 bits a pixel
    EXPECT_PICTURE_ERROR(decodeBmp(patched(30, 9)), "BMP の形式が正しくありません"); // compression 9
    EXPECT_PICTURE_ERROR(decodeBmp(patched(26, 2)), "BMP の形式が正しくありません"); // two planes
    EXPECT_PICTURE_ERROR(decodeBmp(good.left(30)), "BMP の形式が正しくありません");
    EXPECT_PICTURE_ERROR(decodeBmp(TJPEGImage::encode(gradient(8, 8, false))), "BMP の形式が正しくありません");

    BmpLayout wide{.width = 70000, .height = 1, .bitCount = 24};
    EXPECT_PICTURE_ERROR(decodeBmp(makeBmp(wide, QByteArray(70000 * 3, '\0'))), "70000 × 1");
    // Header only: more than Qt's own reader accepts, still told as a size.
    BmpLayout square{.width = 20000, .height = -20000, .bitCount = 24};
    EXPECT_PICTURE_ERROR(decodeBmp(makeBmp(square, QByteArray(64, '\0'))), "20000 × 20000");

    // A short file keeps the rows it has; the missing ones (the top, as rows
    // are stored bottom-up) are black, never left-over memory.
    const QByteArray shortFile = good.left(good.size() - 2 * 16);
    const TBitmap partial = decodeBmp(shortFile);
    EXPECT_EQ(partial.pixel(2, 2), qRgb(128, 128, 128));
    EXPECT_EQ(partial.pixel(2, 0), qRgb(0, 0, 0));
    EXPECT_EQ(partial.pixel(4, 1), qRgb(0, 0, 0));
}

TEST(Bmp, WritesPlainTwentyFourBitFiles)
{
    for (int width : {1, 2, 3, 4, 5, 7}) {
        SCOPED_TRACE(width);
        const TBitmap original = numbered(width, 3);
        const QByteArray file = encodeBmp24(original);
        const int stride = (width * 3 + 3) / 4 * 4;
        ASSERT_EQ(file.size(), 54 + stride * 3);
        auto u16 = [&](int at) { return std::uint8_t(file[at]) | std::uint8_t(file[at + 1]) << 8; };
        auto u32 = [&](int at) { return std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16; };
        EXPECT_TRUE(file.startsWith("BM"));
        EXPECT_EQ(u32(2), std::uint32_t(file.size()));
        EXPECT_EQ(u32(10), 54u);
        EXPECT_EQ(u32(14), 40u);
        EXPECT_EQ(u32(18), std::uint32_t(width));
        EXPECT_EQ(u32(22), 3u); // positive: bottom-up
        EXPECT_EQ(u16(26), 1);
        EXPECT_EQ(u16(28), 24);
        EXPECT_EQ(u32(30), 0u);
        // The first stored row is the bottom one, blue first, padding zero.
        EXPECT_EQ(std::uint8_t(file[54]), std::uint8_t(original.pixel(0, 2) & 0xff));
        for (int pad = width * 3; pad < stride; ++pad)
            EXPECT_EQ(file[54 + pad], '\0');
        EXPECT_TRUE(samePixels(decodeBmp(file), original));
    }
    EXPECT_PICTURE_ERROR(encodeBmp24(TBitmap()), "空の画像");
}

// ---- files ---------------------------------------------------------------------

TEST(PictureLoader, TellsKindsByTheLastExtension)
{
    EXPECT_EQ(pictureKindOf("a.JPG"), PictureKind::Jpeg);
    EXPECT_EQ(pictureKindOf("b.Jpeg"), PictureKind::Jpeg);
    EXPECT_EQ(pictureKindOf("photo.jpeg"), PictureKind::Jpeg);
    EXPECT_EQ(pictureKindOf("c.bMp"), PictureKind::Bmp);
    EXPECT_EQ(pictureKindOf("/home/u/写真/d.bmp"), PictureKind::Bmp);
    EXPECT_EQ(pictureKindOf(".bmp"), PictureKind::Bmp);
    EXPECT_EQ(pictureKindOf("d.png"), PictureKind::None);
    EXPECT_EQ(pictureKindOf("noext"), PictureKind::None);
    EXPECT_EQ(pictureKindOf("x.jpg.txt"), PictureKind::None);
    EXPECT_EQ(pictureKindOf("x.txt.jpg"), PictureKind::Jpeg);
    EXPECT_EQ(pictureKindOf("dir.v1/file"), PictureKind::None);
    EXPECT_EQ(pictureKindOf("dir.jpg/file"), PictureKind::None);
    EXPECT_EQ(pictureKindOf("e.jpgx"), PictureKind::None);
    EXPECT_EQ(pictureKindOf("f."), PictureKind::None);
    EXPECT_EQ(pictureKindOf(""), PictureKind::None);
}

TEST(PictureLoader, LoadsFilesAndNamesThemInEveryError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    };
    const TBitmap picture = gradient(20, 10, false);
    const QByteArray jpeg = TJPEGImage::encode(picture, 90);
    const QString jpegPath = write(QStringLiteral("写真.JPEG"), jpeg);
    const QString bmpPath = write(QStringLiteral("絵.Bmp"), encodeBmp24(picture));

    TBitmap loaded;
    ASSERT_TRUE(loadPicture(jpegPath, loaded));
    EXPECT_EQ(loaded.width(), 20);
    EXPECT_TRUE(samePixels(loaded, TJPEGImage::decode(jpeg)));
    ASSERT_TRUE(loadPicture(bmpPath, loaded));
    EXPECT_TRUE(samePixels(loaded, picture));

    const TBitmap before = filled(3, 3, kSentinel);
    TBitmap bitmap = before;
    auto expectUnchanged = [&] { EXPECT_TRUE(samePixels(bitmap, before)); };

    // No known kind: nothing is read, not even a file that is not there.
    EXPECT_FALSE(loadPicture(dir.filePath("notes.txt"), bitmap));
    EXPECT_FALSE(loadPicture(write("picture.png", "png"), bitmap));
    expectUnchanged();

    const QString missing = dir.filePath("消えた.jpg");
    EXPECT_PICTURE_ERROR(loadPicture(missing, bitmap), missing);
    const QString folder = dir.filePath("folder.bmp");
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_PICTURE_ERROR(loadPicture(folder, bitmap), folder);
    const QString empty = write("empty.jpg", {});
    EXPECT_PICTURE_ERROR(loadPicture(empty, bitmap), empty);
    EXPECT_PICTURE_ERROR(readPictureFile(empty), QStringLiteral("空です"));

    const QString truncated = write("cut.jpg", TJPEGImage::encode(picture, 90).left(300));
    EXPECT_PICTURE_ERROR(loadPicture(truncated, bitmap), truncated + QStringLiteral("\nJPEG を解読できません"));
    const QString wrongKind = write("really-a-jpeg.bmp", TJPEGImage::encode(picture, 90));
    EXPECT_PICTURE_ERROR(loadPicture(wrongKind, bitmap), wrongKind);
    expectUnchanged();

    if (geteuid() != 0) { // root reads any file whatever its mode
        const QString locked = write("locked.jpg", TJPEGImage::encode(picture, 90));
        ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0), 0);
        EXPECT_PICTURE_ERROR(loadPicture(locked, bitmap), locked);
        expectUnchanged();
    }
}

} // namespace

TEST(Jpeg, DecodesIntoAReusedBufferWithoutTouchingCopies)
{
    const QByteArray first = TJPEGImage::encode(gradient(48, 32, false), 90);
    TBitmap other = gradient(48, 32, false);
    for (int x = 0; x < 48; ++x)
        other.setPixel(x, 5, 250, 10, 10);
    const QByteArray second = TJPEGImage::encode(other, 90);

    TBitmap target;
    TJPEGImage::decodeInto(first, target);
    EXPECT_EQ(target.image(), TJPEGImage::decode(first).image());
    const std::uint8_t* buffer = target.scanLine(0);
    TJPEGImage::decodeInto(second, target);
    EXPECT_EQ(target.scanLine(0), buffer) << "the same size reuses the buffer";
    EXPECT_EQ(target.image(), TJPEGImage::decode(second).image());

    // A copy shares the pixels: decoding again must leave the copy as it was.
    const TBitmap kept = target;
    const QImage keptPixels = kept.image().copy();
    TJPEGImage::decodeInto(first, target);
    EXPECT_EQ(kept.image(), keptPixels);
    EXPECT_EQ(target.image(), TJPEGImage::decode(first).image());

    // Another size takes a new buffer of that size.
    TJPEGImage::decodeInto(TJPEGImage::encode(gradient(20, 60, true), 90), target);
    EXPECT_EQ(target.width(), 20);
    EXPECT_EQ(target.height(), 60);
}
