#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/TBitmap.h"
#include "rotation/Rotation.h"
#include "rotation/TPixelImage.h"
#include "fixtures/BmpFixtures.h"
#include "support/PictureFolder.h"
#include "fixtures/RotationLiteral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

using namespace zavio;

namespace {

// Every byte drawn at random, so a sample taken from a neighbouring pixel, a
// swapped channel or a wrong weight shows.
TBitmap noise(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int i = 0; i < 3 * width; ++i)
            row[i] = std::uint8_t(random());
    }
    return bitmap;
}

TPixelImage held(TBitmap bitmap)
{
    TPixelImage image;
    const bool loaded = image.LoadBitmap(std::move(bitmap));
    EXPECT_TRUE(loaded);
    return image;
}

TBitmap whiteTarget(QSize size)
{
    TBitmap target(size.width(), size.height());
    target.fill(255, 255, 255);
    return target;
}

// The first pixel where a and b differ, or an empty text.
std::string firstDifference(const TBitmap& a, const TBitmap& b, int firstRow = 0, int endRow = -1)
{
    if (a.width() != b.width() || a.height() != b.height())
        return "sizes differ";
    for (int y = firstRow; y < (endRow < 0 ? a.height() : endRow); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + ": "
                    + std::to_string(a.pixel(x, y) & 0xffffff) + " vs " + std::to_string(b.pixel(x, y) & 0xffffff);
    return {};
}

// Turns image by angle both ways (the fast one on threads threads) and
// compares the sizes and every pixel.
void expectSameAsLiteral(const TPixelImage& image, float angle, int threads)
{
    const QSize size = RotatedSize(image, angle);
    ASSERT_EQ(size, literal::rotatedSize(image, angle)) << angle;
    TBitmap fast = whiteTarget(size);
    TBitmap slow = whiteTarget(size);
    RotateImage(image, angle, fast, threads);
    literal::rotateImage(image, angle, slow);
    EXPECT_EQ(firstDifference(fast, slow), "")
        << image.Width() << "x" << image.Height() << " by " << angle << " on " << threads << " threads";
}

// The source pixel (column, row) of a numbered picture: every pixel differs.
QRgb numberedColour(int column, int row)
{
    return qRgb(10 + column, 100 + row, 200 + column + 10 * row);
}

TPixelImage numbered(int width, int height)
{
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = numberedColour(x, y);
            bitmap.setPixel(x, y, std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c)));
        }
    return held(std::move(bitmap));
}

constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;

} // namespace

// ---- the fast rotation against the literal one ----------------------------------

TEST(Rotation, QuarterAndHalfTurnsEqualTheLiteralRuleOnEverySize)
{
    const std::vector<QSize> sizes = {{1, 1},   {1, 2},   {2, 1},    {1, 9},     {8, 1},     {2, 2}, {2, 3},
                                      {3, 2},   {3, 3},   {4, 4},    {5, 4},     {4, 5},     {6, 7}, {7, 6},
                                      {16, 17}, {31, 64}, {100, 37}, {256, 255}, {301, 299}, {2, 40}};
    unsigned seed = 1;
    for (const QSize& size : sizes) {
        const TPixelImage image = held(noise(size.width(), size.height(), seed++));
        for (const float angle : {90.0f, 270.0f, 0.0f, 180.0f, 360.0f})
            for (const int threads : {1, 3})
                expectSameAsLiteral(image, angle, threads);
    }
    // A uniform picture, where only the rounding of the weights can show.
    const TPixelImage white = held(whiteTarget({40, 30}));
    for (const float angle : {90.0f, 270.0f, 180.0f})
        expectSameAsLiteral(white, angle, 2);
}

TEST(Rotation, BandsOnSeveralThreadsEqualOneThreadAndTheLiteralRule)
{
    // A band of fewer than 65,536 pixels is not worth a thread, so small
    // pictures run on one whatever is asked for.
    EXPECT_EQ(RotationWorkers(3, 65535), 1);
    EXPECT_EQ(RotationWorkers(3, 2 * 65536), 2);
    EXPECT_EQ(RotationWorkers(3, 1 << 30), 3);
    EXPECT_EQ(RotationWorkers(200, std::int64_t(1) << 40), 64);
    EXPECT_GE(RotationWorkers(0, std::int64_t(1) << 40), 1);

    // Odd sides, so the bands are uneven and the centre lines fall inside one.
    const TPixelImage image = held(noise(601, 401, 77));
    for (const float angle : {90.0f, 270.0f, 180.0f, 30.0f}) {
        SCOPED_TRACE(angle);
        const QSize size = RotatedSize(image, angle);
        const std::int64_t pixels = std::int64_t(size.width() / 2 * 2) * (size.height() / 2 * 2);
        ASSERT_EQ(RotationWorkers(3, pixels), 3) << "three bands really run";
        TBitmap single = whiteTarget(size);
        TBitmap threaded = whiteTarget(size);
        RotateImage(image, angle, single, 1);
        RotateImage(image, angle, threaded, 3);
        EXPECT_EQ(firstDifference(threaded, single), "");
        expectSameAsLiteral(image, angle, 3);
    }
}

TEST(Rotation, OtherAnglesEqualTheLiteralRule)
{
    const std::vector<QSize> sizes = {{1, 1}, {2, 2}, {3, 3}, {5, 4}, {4, 7}, {64, 48}, {203, 151}};
    const std::vector<float> angles = {1, 30, 45, 89.5f, 90.001f, 123.4f, 179, 200.5f, 269.99f, 300, 359};
    unsigned seed = 100;
    for (const QSize& size : sizes) {
        const TPixelImage image = held(noise(size.width(), size.height(), seed++));
        for (const float angle : angles)
            expectSameAsLiteral(image, angle, size.width() > 100 ? 3 : 1);
    }
}

TEST(Rotation, QuarterTurnsOfALargePhotoEqualTheLiteralRuleOnSampledRows)
{
    const TPixelImage image = held(noise(4000, 3000, 7));
    for (const float angle : {90.0f, 270.0f}) {
        const QSize size = RotatedSize(image, angle);
        ASSERT_EQ(size, QSize(3000, 4000));
        TBitmap fast = whiteTarget(size);
        TBitmap slow = whiteTarget(size);
        RotateImage(image, angle, fast, 2);
        const int h2 = size.height() / 2;
        std::vector<int> rows = {0, 1, 2, h2 - 2, h2 - 1, h2, h2 + 1, h2 + 2, size.height() - 2, size.height() - 1};
        for (int row = 5; row < size.height(); row += 211)
            rows.push_back(row);
        for (const int row : rows) {
            literal::rotateRows(image, angle, slow, row, row + 1);
            EXPECT_EQ(firstDifference(fast, slow, row, row + 1), "") << angle << " row " << row;
        }
    }
}

// The copy path rests on this: for the quarter turns, the single-precision u
// and v are whole numbers everywhere off the target's centre row and column,
// and on them the one that is not whole is a tiny non-zero number.
TEST(Rotation, QuarterTurnCoordinatesAreWholeOffTheCentreLines)
{
    for (const float angle : {90.0f, 270.0f}) {
        const double t = literal::radians(angle);
        const long double sinT = std::sin(static_cast<long double>(t));
        const long double cosT = std::cos(static_cast<long double>(t));
        long long checked = 0;
        long long wrong = 0;
        const auto check = [&](int x, int y) {
            const literal::Coordinates c = literal::coordinates(sinT, cosT, x, y);
            ++checked;
            const bool uWhole = std::trunc(c.u) == c.u;
            const bool vWhole = std::trunc(c.v) == c.v;
            if (x != 0 && y != 0) {
                wrong += !(uWhole && vWhole && std::fabs(c.u) == std::abs(x) && std::fabs(c.v) == std::abs(y));
            } else if (x != 0 || y != 0) {
                // One of them is the tiny cos t times the other coordinate.
                const float tiny = x == 0 ? c.u : c.v;
                wrong += !(tiny != 0 && std::fabs(tiny) < 1e-10f && (x == 0 ? vWhole : uWhole));
            }
        };
        // Every target pixel of a 4000 x 3000 photo turned either way.
        for (int y = -2000; y < 2000; ++y)
            for (int x = -1500; x < 1500; ++x)
                check(x, y);
        // The far reaches of the largest picture the loaders accept.
        for (int i = -32768; i <= 32767; ++i)
            for (const int edge : {-32768, -1, 1, 32767}) {
                check(i, edge);
                check(edge, i);
            }
        EXPECT_EQ(wrong, 0) << angle << " degrees, " << checked << " pixels";
    }
}

// ---- what the quarter turns give -------------------------------------------------

TEST(Rotation, QuarterTurnsOfFiveByFourGiveTheWorkedExamples)
{
    const TPixelImage image = numbered(5, 4);
    const auto turned = [&](float angle) {
        TBitmap target = whiteTarget(RotatedSize(image, angle));
        RotateImage(image, angle, target);
        return target;
    };
    // Rows of the target as source pixels (column, row); {-1, 0} black, {-2, 0} white.
    using Row = std::vector<std::pair<int, int>>;
    const auto expectRows = [](const TBitmap& target, const std::vector<Row>& rows, const char* what) {
        ASSERT_EQ(target.width(), 4) << what;
        ASSERT_EQ(target.height(), 5) << what;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 4; ++x) {
                const auto [column, row] = rows[std::size_t(y)][std::size_t(x)];
                const QRgb expected = column == -1 ? kBlack : column == -2 ? kWhite : numberedColour(column, row);
                EXPECT_EQ(target.pixel(x, y), expected) << what << " at " << x << "," << y;
            }
    };
    const std::pair<int, int> k{-1, 0};
    const std::pair<int, int> w{-2, 0};
    // Left (90): the centre row's right half and the centre column's lower
    // half carry weights 1 - e and e; this picture's values survive them.
    expectRows(turned(90),
               {{k, k, k, k}, {k, {3, 1}, {3, 2}, k}, {k, {2, 1}, {2, 2}, k}, {k, {1, 1}, {1, 2}, k}, {w, w, w, w}},
               "left");
    expectRows(turned(270),
               {{k, k, k, k}, {k, k, {1, 2}, {1, 1}}, {k, k, {2, 2}, {2, 1}}, {k, k, {3, 2}, {3, 1}}, {w, w, w, w}},
               "right");
}

TEST(Rotation, ASideOfTwoLetsOneSampleThroughAndUniformPicturesDipOnTheCentreHalfLines)
{
    // Of a 2 x 2 source the pixel (1, 1) survives at the target's centre, the
    // only place where the neighbourhood starting one before it fits.
    const TPixelImage two = numbered(2, 2);
    for (const float angle : {90.0f, 270.0f}) {
        TBitmap target = whiteTarget(RotatedSize(two, angle));
        RotateImage(two, angle, target);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                EXPECT_EQ(target.pixel(x, y), x == 1 && y == 1 ? numberedColour(1, 1) : kBlack) << angle;
    }

    // A white 5 x 4 picture: the pixels next to the centre on the half-lines
    // (weights 1 - e and e) come out 254, every other inner pixel 255.
    const TPixelImage white = held(whiteTarget({5, 4}));
    TBitmap left = whiteTarget(RotatedSize(white, 90));
    RotateImage(white, 90, left);
    EXPECT_EQ(left.pixel(3, 2), kBlack); // the centre row's right half ends in the frame
    EXPECT_EQ(left.pixel(2, 3), qRgb(254, 254, 254)); // the centre column's lower half
    EXPECT_EQ(left.pixel(2, 2), kWhite);
    EXPECT_EQ(left.pixel(1, 2), kWhite);
    EXPECT_EQ(left.pixel(2, 1), kWhite);

    // On a larger white picture the dips lie only on those half-lines, but
    // not on all of them: the rounding of 1 - e and e decides pixel by pixel.
    const TPixelImage large = held(whiteTarget({300, 200}));
    for (const float angle : {90.0f, 270.0f}) {
        TBitmap target = whiteTarget(RotatedSize(large, angle));
        RotateImage(large, angle, target);
        const int w2 = target.width() / 2;
        const int h2 = target.height() / 2;
        int dips = 0;
        for (int y = 0; y < target.height(); ++y)
            for (int x = 0; x < target.width(); ++x) {
                const QRgb p = target.pixel(x, y);
                if (p == kWhite || p == kBlack)
                    continue;
                ++dips;
                const bool leftTurnHalf = (y == h2 && x > w2) || (x == w2 && y > h2);
                const bool rightTurnHalf = (y == h2 && x < w2) || (x == w2 && y < h2);
                EXPECT_TRUE(p == qRgb(254, 254, 254) && (angle == 90 ? leftTurnHalf : rightTurnHalf))
                    << angle << " at " << x << "," << y;
            }
        EXPECT_GT(dips, 0) << angle;
    }
}

TEST(Rotation, SizesFollowTheFoldedAngleAndOddAnglesAreHandled)
{
    const TPixelImage image = numbered(100, 40);
    EXPECT_EQ(RotatedSize(image, 90), QSize(40, 100));
    EXPECT_EQ(RotatedSize(image, 270), QSize(40, 100));
    EXPECT_EQ(RotatedSize(image, 180), QSize(100, 40));
    EXPECT_EQ(RotatedSize(image, 45), QSize(98, 98)); // trunc(140 / sqrt 2)
    EXPECT_EQ(RotatedSize(image, 135), RotatedSize(image, 45));
    EXPECT_EQ(RotatedSize(TPixelImage(), 30), QSize(0, 0));
    const TPixelImage line = held(TBitmap(65535, 1));
    EXPECT_EQ(RotatedSize(line, 90), QSize(1, 65535));
    EXPECT_EQ(RotatedSize(line, 270), QSize(1, 65535));

    // Angles outside 0 to 360 would fold to negative sides; they are brought
    // into range first. Angles that are not numbers draw nothing.
    EXPECT_EQ(RotatedSize(image, -90), QSize(40, 100));
    EXPECT_EQ(RotatedSize(image, 450), QSize(40, 100));
    // The float 1e30 is 120 more than a multiple of 360, so -1e30 is 240 more;
    // both fold to 60: trunc(50 + 40 sin 60) by trunc(100 sin 60 + 20).
    EXPECT_EQ(RotatedSize(image, 60), QSize(84, 106));
    EXPECT_EQ(RotatedSize(image, 1e30f), QSize(84, 106));
    EXPECT_EQ(RotatedSize(image, -1e30f), QSize(84, 106));
    EXPECT_EQ(RotatedSize(image, std::numeric_limits<float>::quiet_NaN()), QSize(0, 0));
    EXPECT_EQ(RotatedSize(image, std::numeric_limits<float>::infinity()), QSize(0, 0));
    TBitmap untouched = whiteTarget({5, 5});
    RotateImage(image, std::numeric_limits<float>::quiet_NaN(), untouched);
    EXPECT_EQ(untouched.pixel(2, 2), kWhite);
    // A picture that holds nothing turns into black, as every neighbourhood lies outside.
    TBitmap fromNothing = whiteTarget({3, 3});
    RotateImage(TPixelImage(), 30, fromNothing);
    EXPECT_EQ(fromNothing.pixel(1, 1), kBlack);
    EXPECT_EQ(fromNothing.pixel(2, 2), kWhite);
}

// ---- the picture held for rotation -------------------------------------------------

TEST(TPixelImage, BuildsGreyPlaneHistogramAndAccessors)
{
    const TPixelImage fresh;
    EXPECT_FALSE(fresh.Is24Bit());
    EXPECT_EQ(fresh.Bitmap(), nullptr);
    EXPECT_EQ(fresh.GreyPlane(), nullptr);
    EXPECT_EQ(fresh.Width(), 0u);
    EXPECT_EQ(fresh.RedAt(0, 0), 0);
    EXPECT_EQ(std::accumulate(fresh.Histogram().begin(), fresh.Histogram().end(), 0u), 0u);

    TBitmap bitmap(5, 2);
    bitmap.setPixel(0, 0, 255, 255, 255);
    bitmap.setPixel(1, 0, 255, 0, 0);
    bitmap.setPixel(2, 0, 0, 255, 0);
    bitmap.setPixel(3, 0, 0, 0, 255);
    bitmap.setPixel(4, 1, 10, 20, 30);
    TPixelImage image;
    ASSERT_TRUE(image.LoadBitmap(bitmap));
    EXPECT_TRUE(image.Is24Bit());
    EXPECT_EQ(image.Width(), 5u);
    EXPECT_EQ(image.Height(), 2u);
    const std::uint8_t* grey = image.GreyPlane();
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(std::vector<int>(grey, grey + 10), (std::vector<int>{255, 76, 150, 28, 0, 0, 0, 0, 0, 18}));
    EXPECT_EQ(image.MaxGrey(), 255);
    EXPECT_EQ(image.MinGrey(), 0);
    EXPECT_EQ(std::accumulate(image.Histogram().begin(), image.Histogram().end(), 0u), 10u);
    EXPECT_EQ(image.Histogram()[0], 5u);
    EXPECT_EQ(image.Histogram()[76], 1u);
    EXPECT_TRUE(image.GreyPassMessage().isEmpty());

    EXPECT_EQ(image.RedAt(4, 1), 10);
    EXPECT_EQ(image.GreenAt(4, 1), 20);
    EXPECT_EQ(image.BlueAt(4, 1), 30);
    EXPECT_EQ(image.RedAt(5, 0), 0);
    EXPECT_EQ(image.RedAt(0, 2), 0);
    EXPECT_EQ(image.RedAt(std::uint32_t(-1), 0), 0);
    EXPECT_EQ(image.BlueAt(0, std::uint32_t(-1)), 0);

    EXPECT_FALSE(image.LoadBitmap(TBitmap()));
    EXPECT_FALSE(image.Is24Bit());
    EXPECT_EQ(image.Width(), 0u);
    EXPECT_EQ(image.RedAt(4, 1), 0);
    EXPECT_EQ(unsupportedPictureMessage(), QStringLiteral("対応できない画像です"));
}

TEST(TPixelImage, LoadsJpgAndBmpInAnyCaseAndNothingElse)
{
    fixtures::PictureFolder folder;
    folder.writeJpeg("PHOTO.JPG", 30, 20);
    folder.writeBmp("mixed.Bmp", 7, 3, 2);
    folder.writeJpeg("long.jpeg", 8, 8);
    folder.writeBytes("empty.jpg", {});
    QByteArray truncated = TJPEGImage::encode(fixtures::PictureFolder::pattern(40, 40, 1), 90);
    truncated.truncate(truncated.size() / 2);
    folder.writeBytes("torn.jpg", truncated);
    test::BmpLayout huge;
    huge.width = 70000;
    huge.height = 1;
    folder.writeBytes("huge.bmp", test::makeBmp(huge, QByteArray(16, '\0')));
    test::BmpLayout indexed;
    indexed.width = 2;
    indexed.height = 1;
    indexed.bitCount = 8;
    indexed.palette = {qRgb(1, 2, 3), qRgb(200, 100, 50)};
    folder.writeBytes("eight.bmp", test::makeBmp(indexed, test::packRows(indexed, {{1, 0}})));

    TPixelImage jpeg;
    EXPECT_TRUE(jpeg.LoadPicture(folder.filePath("PHOTO.JPG")));
    EXPECT_TRUE(jpeg.Is24Bit());
    EXPECT_EQ(jpeg.Width(), 30u);
    EXPECT_EQ(jpeg.Height(), 20u);
    EXPECT_EQ(std::accumulate(jpeg.Histogram().begin(), jpeg.Histogram().end(), 0u), 600u);

    TPixelImage bmp;
    EXPECT_TRUE(bmp.LoadPicture(folder.filePath("mixed.Bmp")));
    EXPECT_EQ(bmp.Bitmap()->pixel(6, 2), fixtures::PictureFolder::pattern(7, 3, 2).pixel(6, 2));

    TPixelImage eight;
    EXPECT_TRUE(eight.LoadPicture(folder.filePath("eight.bmp")));
    EXPECT_TRUE(eight.Is24Bit());
    EXPECT_EQ(eight.RedAt(0, 0), 200);
    EXPECT_EQ(eight.BlueAt(1, 0), 3);

    // ".jpeg" is refused and leaves no bitmap; a held picture stays.
    TPixelImage refused;
    EXPECT_FALSE(refused.LoadPicture(folder.filePath("long.jpeg")));
    EXPECT_EQ(refused.Bitmap(), nullptr);
    EXPECT_FALSE(refused.Is24Bit());
    EXPECT_FALSE(jpeg.LoadPicture(folder.filePath("long.jpeg")));
    EXPECT_TRUE(jpeg.Is24Bit());
    EXPECT_EQ(jpeg.Width(), 30u);
    EXPECT_FALSE(TPixelImage::AcceptsFileName("/a.jpg/picture"));
    EXPECT_TRUE(TPixelImage::AcceptsFileName("/a/b.JpG"));

    // Missing, empty, torn and too large files leave an empty picture, with
    // no size or grey values left over from the one before.
    for (const char* name : {"missing.jpg", "empty.jpg", "torn.jpg", "huge.bmp"}) {
        TPixelImage image;
        ASSERT_TRUE(image.LoadPicture(folder.filePath("PHOTO.JPG")));
        EXPECT_FALSE(image.LoadPicture(folder.filePath(name))) << name;
        EXPECT_FALSE(image.Is24Bit()) << name;
        ASSERT_NE(image.Bitmap(), nullptr) << name;
        EXPECT_TRUE(image.Bitmap()->isEmpty()) << name;
        EXPECT_EQ(image.Width(), 0u) << name;
        EXPECT_EQ(image.Height(), 0u) << name;
        EXPECT_EQ(image.GreyPlane(), nullptr) << name;
        EXPECT_EQ(image.RedAt(1, 1), 0) << name;
        EXPECT_EQ(RotatedSize(image, 90), QSize(0, 0)) << name;
    }
}
