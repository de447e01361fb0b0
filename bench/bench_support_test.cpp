#include "BenchPhotos.h"
#include "BenchStats.h"

#include "imaging/JpegCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace zavio::bench;

TEST(BenchStats, MedianPeakRssAndOptions)
{
    EXPECT_EQ(median({}), 0);
    EXPECT_EQ(median({7}), 7);
    EXPECT_EQ(median({9, 1, 5}), 5);
    EXPECT_EQ(median({4, 1, 3, 2}), 2.5);
    EXPECT_EQ(median({100, 1, 2, 3, 1000}), 3);

    EXPECT_EQ(vmHwmMb("Name:\tx\nVmPeak:\t  9000 kB\nVmHWM:\t    2048 kB\nVmRSS:\t 1024 kB\n"), 2.0);
    EXPECT_FALSE(vmHwmMb("Name:\tx\nVmRSS:\t 1024 kB\n"));
    EXPECT_FALSE(vmHwmMb("VmHWM:\t  lots\n"));
    const std::optional<double> own = peakRssMb();
    ASSERT_TRUE(own);
    EXPECT_GT(*own, 1.0);

    QString error;
    std::optional<BenchOptions> o = parseBenchOptions({}, error);
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->folder.isEmpty());
    EXPECT_EQ(o->reps, 5);
    EXPECT_EQ(o->fillThreads, 0);
    o = parseBenchOptions({"/tmp/p", "--reps", "3", "--fill-threads=1"}, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->folder, "/tmp/p");
    EXPECT_EQ(o->reps, 3);
    EXPECT_EQ(o->fillThreads, 1);
    o = parseBenchOptions({"--dir", "/tmp/q", "--reps=7"}, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->folder, "/tmp/q");
    EXPECT_EQ(o->reps, 7);
    for (const QStringList& bad :
         {QStringList{"--reps", "0"}, QStringList{"--reps", "x"}, QStringList{"--reps"}, QStringList{"--frobnicate"},
          QStringList{"a", "b"}, QStringList{"a", "--dir", "b"}}) {
        error.clear();
        EXPECT_FALSE(parseBenchOptions(bad, error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(BenchPhotos, PicturesLookLikePhotographs)
{
    EXPECT_EQ(photoFileName(0), "photo_001.jpg");
    EXPECT_EQ(photoFileName(39), "photo_040.jpg");

    const zavio::TBitmap a = makePhoto(0, 400, 300);
    const zavio::TBitmap b = makePhoto(1, 400, 300);
    ASSERT_EQ(a.width(), 400);
    ASSERT_EQ(a.height(), 300);
    EXPECT_EQ(a.image(), makePhoto(0, 400, 300).image());
    EXPECT_NE(a.image(), b.image());

    // Neighbouring pixels differ by the noise alone (at most 40 either way plus
    // a fraction of the gradient), yet they do differ: the picture is not flat.
    int maxStep = 0;
    long long totalStep = 0;
    for (int y = 0; y < a.height(); ++y) {
        const std::uint8_t* row = a.scanLine(y);
        for (int x = 3; x < 3 * a.width(); ++x) {
            const int step = std::abs(int(row[x]) - int(row[x - 3]));
            maxStep = std::max(maxStep, step);
            totalStep += step;
        }
    }
    EXPECT_LE(maxStep, 42);
    EXPECT_GT(double(totalStep) / (3.0 * (a.width() - 1) * a.height()), 5.0);

    // The gradient carries the colour a long way across the picture, well
    // beyond what the noise could: compare the means of opposite corners.
    auto cornerMean = [&](int x0, int y0) {
        double sum = 0;
        for (int y = y0; y < y0 + 20; ++y)
            for (int x = 3 * x0; x < 3 * (x0 + 20); ++x)
                sum += a.scanLine(y)[x];
        return sum / (20 * 60);
    };
    const double spread =
        std::max(std::abs(cornerMean(0, 0) - cornerMean(380, 280)), std::abs(cornerMean(380, 0) - cornerMean(0, 280)));
    EXPECT_GT(spread, 15.0);

    // The noise is what makes the files large: several times a flat picture's size.
    zavio::TBitmap flat(400, 300);
    flat.fill(120, 130, 140);
    EXPECT_GT(zavio::TJPEGImage::encode(a, 90).size(), 5 * zavio::TJPEGImage::encode(flat, 90).size());
}

TEST(BenchPhotos, SetIsWrittenOnceAndRepairedWhenDamaged)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("photos");
    const PhotoSetShape shape{5, 160, 120, 90};
    auto path = [&](int i) { return QDir(folder).filePath(photoFileName(i)); };

    EXPECT_EQ(ensurePhotoSet(folder, shape, 2), 5);
    for (int i = 0; i < shape.count; ++i) {
        EXPECT_TRUE(isCompletePhoto(path(i), 160, 120)) << i;
        QFile file(path(i));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const zavio::TBitmap decoded = zavio::TJPEGImage::decode(file.readAll());
        EXPECT_EQ(decoded.width(), 160);
        EXPECT_EQ(decoded.height(), 120);
    }
    EXPECT_FALSE(isCompletePhoto(path(0), 161, 120));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 5) << "no temporary files are left";
    const double mb = averageFileMb(folder, shape);
    EXPECT_NEAR(mb * 1024 * 1024, QFileInfo(path(2)).size(), 0.5 * QFileInfo(path(2)).size());

    // A complete set is left alone.
    const QByteArray before = [&] {
        QFile f(path(3));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    EXPECT_EQ(ensurePhotoSet(folder, shape, 2), 0);

    // A truncated file, an empty one, a missing one and one of another size
    // are each written again, and only those.
    {
        QFile f(path(1));
        ASSERT_TRUE(f.resize(f.size() / 2));
        QFile empty(path(2));
        ASSERT_TRUE(empty.resize(0));
        ASSERT_TRUE(QFile::remove(path(0)));
        QFile other(path(4));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly | QIODevice::Truncate));
        other.write(zavio::TJPEGImage::encode(makePhoto(4, 80, 60), 90));
    }
    EXPECT_FALSE(isCompletePhoto(path(0), 160, 120));
    EXPECT_FALSE(isCompletePhoto(path(1), 160, 120));
    EXPECT_FALSE(isCompletePhoto(path(2), 160, 120));
    EXPECT_FALSE(isCompletePhoto(path(4), 160, 120));
    EXPECT_EQ(ensurePhotoSet(folder, shape, 1), 4);
    for (int i = 0; i < shape.count; ++i)
        EXPECT_TRUE(isCompletePhoto(path(i), 160, 120)) << i;
    QFile kept(path(3));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), before);
}
