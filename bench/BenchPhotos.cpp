#include "BenchPhotos.h"

#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace zavio::bench {

namespace {

struct Rgb {
    float red, green, blue;
};

// Colours a photograph's large areas tend to have: sky, foliage, skin, sand,
// dusk, water, stone, shade.
constexpr Rgb kPalette[] = {
    {90, 150, 225}, {60, 120, 50}, {225, 180, 150}, {215, 195, 140},
    {200, 90, 60},  {40, 90, 130}, {150, 150, 140}, {35, 35, 50},
};
constexpr int kPaletteSize = int(std::size(kPalette));

// The byte value nearest to v, held to 0..255.
inline std::uint8_t toByte(float v)
{
    return std::uint8_t(std::clamp(int(v + 0.5f), 0, 255));
}

// A value from -20 to 20 out of the low byte of bits.
inline int noiseOf(std::uint64_t bits)
{
    return int(((bits & 0xff) * 41) >> 8) - 20;
}

void writeAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw PictureError(QStringLiteral("%1 に書き込めません: %2").arg(path, file.errorString()));
}

} // namespace

QString photoFileName(int index)
{
    return QStringLiteral("photo_%1.jpg").arg(index + 1, 3, 10, QLatin1Char('0'));
}

TBitmap makePhoto(int index, int width, int height)
{
    TBitmap bitmap(width, height);
    // The golden angle turns each picture's gradient well away from its neighbour's.
    const double angle = index * 2.39996322972865332;
    const float dirX = float(std::cos(angle));
    const float dirY = float(std::sin(angle));
    const float halfDiagonal = 0.5f * float(std::hypot(double(width), double(height)));
    const Rgb from = kPalette[index % kPaletteSize];
    const Rgb to = kPalette[(index * 3 + 5) % kPaletteSize];
    const Rgb span{to.red - from.red, to.green - from.green, to.blue - from.blue};
    // Along the gradient t runs 0 to 1; across it u runs -1 to 1 and shades by +-35.
    const float dt = dirX / (2 * halfDiagonal);
    const float du = -dirY / halfDiagonal;
    std::uint64_t state = 0x9E3779B97F4A7C15ull * std::uint64_t(index + 1);

    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        const float dx0 = -0.5f * width;
        const float dy = y - 0.5f * height;
        float t = 0.5f + (dx0 * dirX + dy * dirY) / (2 * halfDiagonal);
        float u = (dy * dirX - dx0 * dirY) / halfDiagonal;
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            const float shade = 35 * u;
            row[3 * x + 0] = toByte(from.blue + span.blue * t + shade + noiseOf(state));
            row[3 * x + 1] = toByte(from.green + span.green * t + shade + noiseOf(state >> 8));
            row[3 * x + 2] = toByte(from.red + span.red * t + shade + noiseOf(state >> 16));
            t += dt;
            u += du;
        }
    }
    return bitmap;
}

bool isCompletePhoto(const QString& path, int width, int height)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 4)
        return false;
    const QByteArray head = file.read(std::min<qint64>(file.size(), 64 * 1024));
    try {
        const TJPEGImage::Header header = TJPEGImage::readHeader(head);
        if (header.width != width || header.height != height)
            return false;
    } catch (const PictureError&) {
        return false;
    }
    if (!file.seek(file.size() - 2))
        return false;
    return file.read(2) == QByteArrayLiteral("\xFF\xD9");
}

int ensurePhotoSet(const QString& folder, const PhotoSetShape& shape, int threads)
{
    if (!QDir().mkpath(folder))
        throw PictureError(QStringLiteral("フォルダ %1 を作れません").arg(folder));
    const QDir dir(folder);
    std::vector<int> missing;
    for (int i = 0; i < shape.count; ++i) {
        if (!isCompletePhoto(dir.filePath(photoFileName(i)), shape.width, shape.height))
            missing.push_back(i);
    }
    if (missing.empty())
        return 0;

    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    std::exception_ptr error;
    auto work = [&] {
        for (std::size_t k = next++; k < missing.size() && !failed; k = next++) {
            try {
                const int index = missing[k];
                // The bitmap is gone before the file is written, the encoded
                // bytes right after, so one thread holds one picture at a time.
                const QByteArray jpeg = TJPEGImage::encode(makePhoto(index, shape.width, shape.height), shape.quality);
                writeAtomically(dir.filePath(photoFileName(index)), jpeg);
            } catch (...) {
                const std::lock_guard lock(errorMutex);
                if (!error)
                    error = std::current_exception();
                failed = true;
            }
        }
    };
    const int workers = std::clamp(threads, 1, int(missing.size()));
    {
        std::vector<std::jthread> pool;
        for (int i = 0; i < workers; ++i)
            pool.emplace_back(work);
    }
    if (error)
        std::rethrow_exception(error);
    return int(missing.size());
}

FirstPhoto::FirstPhoto(const QString& folder) : folder_(folder)
{
    if (folder_.isEmpty()) {
        temporary_.emplace();
        if (!temporary_->isValid())
            throw PictureError(QStringLiteral("一時フォルダを作れません: %1").arg(temporary_->errorString()));
        folder_ = temporary_->path();
    }
    folder_ = QDir(folder_).absolutePath();
    shape_.count = 1;
    ensurePhotoSet(folder_, shape_, 2);
}

QString FirstPhoto::path() const
{
    return QDir(folder_).filePath(photoFileName(0));
}

std::vector<double> FirstPhoto::timePlainDecodes(int reps) const
{
    std::vector<double> samples;
    for (int r = 0; r < reps; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const TBitmap bitmap = TJPEGImage::decode(readPictureFile(path()));
        samples.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (bitmap.width() != shape_.width)
            throw PictureError(QStringLiteral("想定外の大きさです"));
    }
    return samples;
}

double averageFileMb(const QString& folder, const PhotoSetShape& shape)
{
    if (shape.count <= 0)
        return 0;
    const QDir dir(folder);
    double bytes = 0;
    for (int i = 0; i < shape.count; ++i)
        bytes += double(QFileInfo(dir.filePath(photoFileName(i))).size());
    return bytes / shape.count / (1024.0 * 1024.0);
}

} // namespace zavio::bench
