// Built without fast-math and without contraction (see CMakeLists.txt): every
// result below must equal the plain per-pixel formula bit for bit, so the
// order and the precision of each step are part of the behaviour.

#include "rotation/Rotation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace zavio {

namespace {

// π as a double constant and 1/180 as an extended one; the product of the
// angle with both is formed in extended precision and kept as a double.
constexpr long double kPi = 3.141592653589793; // deliberately the double value
constexpr long double kOneOver180 = 1.0L / 180;

double radians(float degrees)
{
    return double(static_cast<long double>(degrees) * kPi * kOneOver180);
}

// The picture's pixels as the rotation reads them.
struct Source {
    const std::uint8_t* bits = nullptr; // row 0; rows follow bytesPerLine apart
    std::int64_t bytesPerLine = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t centreX = 0; // floor(width / 2)
    std::int64_t centreY = 0;

    explicit Source(const TPixelImage& picture)
        : width(picture.Width()), height(picture.Height()), centreX(width / 2), centreY(height / 2)
    {
        const TBitmap* bitmap = picture.Bitmap();
        if (bitmap && !bitmap->isEmpty() && bitmap->width() == width && bitmap->height() == height) {
            bits = bitmap->scanLine(0);
            bytesPerLine = bitmap->bytesPerLine();
        } else {
            width = height = centreX = centreY = 0; // every pixel then falls outside
        }
    }

    const std::uint8_t* at(std::int64_t column, std::int64_t row) const
    {
        return bits + row * bytesPerLine + 3 * column;
    }
};

// Where the target pixel at x, y (relative to the target's centre) falls:
// u = sin t * x + cos t * y picks the row and v = cos t * x - sin t * y the
// column, both relative to the source centre. Each product and the sum are
// extended, u and v are then kept as single precision. The four terms come in
// precomputed: a product rounds the same whether it is formed here or earlier.
struct Terms {
    long double sinX;
    long double cosX;
    long double sinY;
    long double cosY;
};

// The top-left sample of the neighbourhood of a coordinate: trunc(w) above 0,
// else trunc(w - 1) with w - 1 in extended precision. A whole w <= 0 thus gives
// w - 1, and its weight below is exactly 1.
std::int64_t neighbourhoodStart(float w)
{
    return w > 0 ? std::int64_t(w) : std::int64_t(static_cast<long double>(w) - 1);
}

// One target pixel by the full rule, written as blue, green, red.
void blendPixel(const Source& source, const Terms& terms, std::uint8_t* out)
{
    const float u = float(terms.sinX + terms.cosY);
    const float v = float(terms.cosX - terms.sinY);
    const std::int64_t b = neighbourhoodStart(u);
    const std::int64_t c = neighbourhoodStart(v);
    const float fr = float(static_cast<long double>(u) - static_cast<long double>(b));
    const float fc = float(static_cast<long double>(v) - static_cast<long double>(c));
    const std::int64_t row = b + source.centreY;
    const std::int64_t column = c + source.centreX;
    if (row < 0 || row >= source.height - 1 || column < 0 || column >= source.width - 1) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const std::uint8_t* top = source.at(column, row);
    const std::uint8_t* bottom = top + source.bytesPerLine;
    const long double wr = fr;
    const long double wc = fc;
    // Channel by channel as (1 - fr)((1 - fc)P00 + fc P01) + fr((1 - fc)P10 + fc P11),
    // extended and truncated; the weights lie in 0..1, so the value stays in 0..255.
    for (int k = 0; k < 3; ++k) {
        const long double value =
            (1 - wr) * ((1 - wc) * top[k] + wc * top[3 + k]) + wr * ((1 - wc) * bottom[k] + wc * bottom[3 + k]);
        out[k] = std::uint8_t(int(value));
    }
}

// Quarter and half turns.
//
// When one of sin t, cos t is exactly +-1 and the other, e, satisfies
// |e| * reach < 2^-27 (reach bounding |x| and |y|), then off the target's
// centre row (y = 0) and centre column (x = 0) u and v are whole numbers:
// u = fl32(fl80(+-x + fl80(e * y))) for a quarter turn, say. The product +-x is
// exact and |fl80(e * y)| < 2^-26; rounding the sum to nearest moves it no
// further than that again (+-x itself is a candidate), so the extended sum lies
// less than 2^-25 from the integer +-x. Single precision spaces its values at
// least 2^-24 apart around a non-zero integer below 2^24, so whatever lies less
// than half of that from it rounds back to exactly +-x. The same
// holds for v with the roles of x and y swapped, and for half turns with
// u = +-y, v = +-x. For angles of 90 and 270 degrees e is about 6e-17 and
// 1.8e-16, far inside the bound for any picture the loaders accept.
//
// For a whole u = U the neighbourhood starts at B = U (above 0) or U - 1, so
// fr = u - B is exactly 0 or 1. The same goes for fc. With weights of exactly
// 0 and 1 every product and sum of the blend is exact and gives one sample
// unchanged: row U + centreY, column V + centreX. The black test keeps its own
// form, on B, so a side of exactly 2 lets its one sample through as the blend does.
//
// On the centre row and column one of u, v is the tiny e * x or e * y (or 0),
// with weights 1 - e and e; those pixels take the full rule.
enum class AxisTurn { None, Quarter, Half };

AxisTurn axisTurnOf(long double sinT, long double cosT, std::int64_t reach)
{
    constexpr std::int64_t kWholeFloats = std::int64_t(1) << 24;
    const long double limit = std::ldexp(1.0L, -27);
    if (reach >= kWholeFloats)
        return AxisTurn::None;
    if (std::fabs(sinT) == 1 && std::fabs(cosT) * reach < limit)
        return AxisTurn::Quarter;
    if (std::fabs(cosT) == 1 && std::fabs(sinT) * reach < limit)
        return AxisTurn::Half;
    return AxisTurn::None;
}

// The source index sampled for a whole coordinate, or -1 where the
// neighbourhood starting at B lies outside 0 .. size - 2.
std::int64_t wholeSample(std::int64_t whole, std::int64_t centre, std::int64_t size)
{
    const std::int64_t start = (whole > 0 ? whole : whole - 1) + centre;
    if (start < 0 || start >= size - 1)
        return -1;
    return whole + centre;
}

std::int64_t rowOffset(const Source& source, std::int64_t whole)
{
    const std::int64_t row = wholeSample(whole, source.centreY, source.height);
    return row < 0 ? -1 : row * source.bytesPerLine;
}

std::int64_t columnOffset(const Source& source, std::int64_t whole)
{
    const std::int64_t column = wholeSample(whole, source.centreX, source.width);
    return column < 0 ? -1 : 3 * column;
}

struct Job {
    Source source;
    long double sinT = 0;
    long double cosT = 0;
    std::uint8_t* target = nullptr;
    std::int64_t targetBytesPerLine = 0;
    int halfWidth = 0; // W2: columns D = x + W2 for x in -W2 .. W2 - 1
    int halfHeight = 0; // H2
    std::vector<long double> sinX; // sin t * x and cos t * x by target column
    std::vector<long double> cosX;
    // For axis turns: the byte offset of the sampled pixel split into a part
    // that depends on the column and one that depends on the row, -1 for black.
    std::vector<std::int64_t> offsetX;
    std::vector<std::int64_t> offsetY;

    explicit Job(const TPixelImage& picture) : source(picture) {}

    Terms terms(int column, long double sinY, long double cosY) const
    {
        return {sinX[std::size_t(column)], cosX[std::size_t(column)], sinY, cosY};
    }

    std::uint8_t* row(int r) const { return target + r * targetBytesPerLine; }

    void blendRows(int begin, int end) const
    {
        for (int r = begin; r < end; ++r) {
            const long double y = r - halfHeight;
            const long double sinY = sinT * y;
            const long double cosY = cosT * y;
            std::uint8_t* out = row(r);
            for (int column = 0; column < 2 * halfWidth; ++column)
                blendPixel(source, terms(column, sinY, cosY), out + 3 * column);
        }
    }

    void copyRows(int begin, int end) const
    {
        // Tiles of target columns keep a quarter turn's source reads, which run
        // down source columns, within a few cache lines per source row.
        constexpr int kTile = 64;
        const int width = 2 * halfWidth;
        for (int tile = 0; tile < width; tile += kTile) {
            const int tileEnd = std::min(width, tile + kTile);
            for (int r = begin; r < end; ++r) {
                std::uint8_t* out = row(r);
                const long double y = r - halfHeight;
                if (r == halfHeight) {
                    for (int column = tile; column < tileEnd; ++column)
                        blendPixel(source, terms(column, sinT * y, cosT * y), out + 3 * column);
                    continue;
                }
                const std::int64_t rowPart = offsetY[std::size_t(r)];
                for (int column = tile; column < tileEnd; ++column) {
                    std::uint8_t* pixel = out + 3 * column;
                    const std::int64_t columnPart = offsetX[std::size_t(column)];
                    if (column == halfWidth) {
                        blendPixel(source, terms(column, sinT * y, cosT * y), pixel);
                    } else if (rowPart < 0 || columnPart < 0) {
                        pixel[0] = pixel[1] = pixel[2] = 0;
                    } else {
                        const std::uint8_t* from = source.bits + rowPart + columnPart;
                        pixel[0] = from[0];
                        pixel[1] = from[1];
                        pixel[2] = from[2];
                    }
                }
            }
        }
    }
};

// Runs work over the rows 0 .. rows - 1 in bands, one per thread, the first
// band on the calling thread. A worker that cannot be started does its band here.
template <typename Work>
void inBands(int rows, int threads, const Work& work)
{
    const int bands = std::max(1, std::min(threads, rows));
    std::vector<std::jthread> workers;
    workers.reserve(std::size_t(bands));
    auto bandStart = [&](int band) { return int(std::int64_t(rows) * band / bands); };
    for (int band = 1; band < bands; ++band) {
        const int begin = bandStart(band);
        const int end = bandStart(band + 1);
        try {
            workers.emplace_back([&work, begin, end] { work(begin, end); });
        } catch (const std::system_error&) {
            work(begin, end);
        }
    }
    work(0, bandStart(1));
}

} // namespace

int RotationWorkers(int requested, std::int64_t pixels)
{
    constexpr std::int64_t kPixelsPerThread = 1 << 16;
    int threads = requested > 0 ? requested : int(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min(threads, 64);
    return int(std::max<std::int64_t>(1, std::min<std::int64_t>(threads, pixels / kPixelsPerThread)));
}

QSize RotatedSize(const TPixelImage& picture, float angle)
{
    if (!std::isfinite(angle))
        return {0, 0};
    float a = angle;
    // The folding below is made for 0 to 360; other angles would give
    // negative sides. Both fmod and the additions here are exact.
    if (a < 0 || a > 360) {
        a = std::fmod(a, 360.0f);
        if (a < 0)
            a += 360.0f;
    }
    if (a > 180)
        a -= 180;
    if (a > 90)
        a = 180 - a;
    const double r = radians(a);
    const long double cosR = std::cos(static_cast<long double>(r));
    const long double sinR = std::sin(static_cast<long double>(r));
    const long double width = picture.Width();
    const long double height = picture.Height();
    return {int(cosR * width + sinR * height), int(sinR * width + cosR * height)};
}

void RotateImage(const TPixelImage& picture, float angle, TBitmap& target, int threads)
{
    if (target.isEmpty() || !std::isfinite(angle))
        return;
    Job job(picture);
    const double t = radians(angle);
    job.sinT = std::sin(static_cast<long double>(t));
    job.cosT = std::cos(static_cast<long double>(t));
    // Written through one pointer taken here, so the workers never detach it.
    job.target = target.scanLine(0);
    job.targetBytesPerLine = target.bytesPerLine();
    job.halfWidth = target.width() / 2;
    job.halfHeight = target.height() / 2;
    const int width = 2 * job.halfWidth;
    const int rows = 2 * job.halfHeight;
    if (width == 0 || rows == 0)
        return;

    job.sinX.resize(std::size_t(width));
    job.cosX.resize(std::size_t(width));
    for (int column = 0; column < width; ++column) {
        const long double x = column - job.halfWidth;
        job.sinX[std::size_t(column)] = job.sinT * x;
        job.cosX[std::size_t(column)] = job.cosT * x;
    }

    const AxisTurn axis = axisTurnOf(job.sinT, job.cosT, std::max(job.halfWidth, job.halfHeight));
    const int workers = RotationWorkers(threads, std::int64_t(width) * rows);
    if (axis == AxisTurn::None) {
        inBands(rows, workers, [&job](int begin, int end) { job.blendRows(begin, end); });
        return;
    }

    // Quarter turn: U = s x, V = -s y; half turn: U = c y, V = c x (s, c the
    // signs of sin t, cos t). Row U + centreY, column V + centreX is sampled.
    const Source& source = job.source;
    const std::int64_t s = job.sinT > 0 ? 1 : -1;
    const std::int64_t c = job.cosT > 0 ? 1 : -1;
    job.offsetX.resize(std::size_t(width));
    for (int column = 0; column < width; ++column) {
        const std::int64_t x = column - job.halfWidth;
        job.offsetX[std::size_t(column)] =
            axis == AxisTurn::Quarter ? rowOffset(source, s * x) : columnOffset(source, c * x);
    }
    job.offsetY.resize(std::size_t(rows));
    for (int r = 0; r < rows; ++r) {
        const std::int64_t y = r - job.halfHeight;
        job.offsetY[std::size_t(r)] =
            axis == AxisTurn::Quarter ? columnOffset(source, -s * y) : rowOffset(source, c * y);
    }
    inBands(rows, workers, [&job](int begin, int end) { job.copyRows(begin, end); });
}

} // namespace zavio
