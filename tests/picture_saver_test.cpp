#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureLoader.h"
#include "rotation/CameraMetadata.h"
#include "rotation/PictureSaver.h"
#include "fixtures/ExifFixtures.h"
#include "support/PictureFolder.h"
#include "support/ScratchMount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace zavio;
using zavio::fixtures::PictureFolder;
using zavio::fixtures::ScratchMount;
using zavio::test::CameraExif;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The folder's files, hidden ones included, as "a, b".
std::string entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name).join(u", ").toStdString();
}

mode_t modeOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

// The largest difference of one colour channel between two pictures of one size.
int largestChannelDifference(const TBitmap& a, const TBitmap& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < 3 * a.width(); ++x)
            largest = std::max(largest, std::abs(int(a.scanLine(y)[x]) - int(b.scanLine(y)[x])));
    }
    return largest;
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The statement must throw a WriteError naming file and saying why.
#define EXPECT_WRITE_ERROR(statement, file, why)                                                                       \
    do {                                                                                                               \
        try {                                                                                                          \
            (void)(statement);                                                                                         \
            ADD_FAILURE() << "no WriteError from " #statement;                                                         \
        } catch (const zavio::WriteError& error_) {                                                                    \
            EXPECT_TRUE(error_.message().contains(file)) << error_.what();                                             \
            EXPECT_TRUE(error_.message().contains(why)) << error_.what();                                              \
        }                                                                                                              \
    } while (0)

// libexif's reading of a saved EXIF marker, with nothing added or fixed.
struct LoadedExif {
    std::unique_ptr<ExifData, decltype(&exif_data_unref)> data{nullptr, &exif_data_unref};

    explicit LoadedExif(const QByteArray& payload) : data(exif_data_new(), &exif_data_unref)
    {
        exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
        exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
        exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(payload.data()),
                            unsigned(payload.size()));
    }
    ExifEntry* entry(ExifIfd ifd, int tag) const { return exif_content_get_entry(data->ifd[ifd], ExifTag(tag)); }
    QByteArray bytes(ExifIfd ifd, int tag) const
    {
        const ExifEntry* e = entry(ifd, tag);
        return e ? QByteArray(reinterpret_cast<const char*>(e->data), e->size) : QByteArray();
    }
    long number(ExifIfd ifd, int tag) const
    {
        const ExifEntry* e = entry(ifd, tag);
        if (e == nullptr)
            return -1;
        const ExifByteOrder order = exif_data_get_byte_order(data.get());
        return e->format == EXIF_FORMAT_SHORT ? long(exif_get_short(e->data, order))
                                              : long(exif_get_long(e->data, order));
    }
};

// Runs check with the rights of an ordinary user. Root writes into any file
// and folder, so a root process takes another effective user for this thread
// alone (the raw system call, not glibc's, which would change every thread)
// and takes root back afterwards.
bool asOrdinaryUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    constexpr long kNobody = 65534;
    if (::syscall(SYS_setresuid, -1L, kNobody, -1L) != 0)
        return false;
    const bool result = check();
    if (::syscall(SYS_setresuid, -1L, 0L, -1L) != 0)
        std::abort();
    return result;
}

TEST(PictureSaver, ExtensionRulesOfBothCommands)
{
    for (const char* name : {"out.jpg", "out.JPG", "a.b.Jpg", "/home/x.bmp/out.jpg"})
        EXPECT_EQ(saveAsChoice(QString::fromUtf8(name)).kind, PictureKind::Jpeg) << name;
    for (const char* name : {"out.bmp", "OUT.BMP", "/p/out.bMp"})
        EXPECT_EQ(saveAsChoice(QString::fromUtf8(name)).kind, PictureKind::Bmp) << name;
    for (const char* name : {"out.jpeg", "out.JPEG"}) {
        EXPECT_EQ(saveAsChoice(QString::fromUtf8(name)).kind, PictureKind::None) << name;
        EXPECT_EQ(saveAsChoice(QString::fromUtf8(name)).refusal, QStringLiteral(".jpg の3文字のみ有効です"));
    }
    for (const char* name : {"out", "out.png", "outpng", "out.", "/p/x.jpg/out", "out.jpg.txt"}) {
        EXPECT_EQ(saveAsChoice(QString::fromUtf8(name)).kind, PictureKind::None) << name;
        EXPECT_EQ(saveAsChoice(QString::fromUtf8(name)).refusal, QStringLiteral("拡張子(Extension)が違います")) << name;
    }
    EXPECT_TRUE(saveAsChoice(QStringLiteral("out.jpg")).refusal.isEmpty());

    EXPECT_EQ(overwriteKind(QStringLiteral("/p/a.BMP")), PictureKind::Bmp);
    EXPECT_EQ(overwriteKind(QStringLiteral("/p/a.jpg")), PictureKind::Jpeg);
    EXPECT_EQ(overwriteKind(QStringLiteral("/p/a.JPEG")), PictureKind::Jpeg);
    EXPECT_EQ(overwriteKind(QStringLiteral("/p/a.png")), PictureKind::None);
    EXPECT_EQ(overwriteKind(QStringLiteral("/p.jpg/a")), PictureKind::None);

    // Refused names write nothing; an overwrite of no picture's name neither.
    PictureFolder folder;
    const TBitmap picture = PictureFolder::pattern(8, 6, 1);
    EXPECT_EQ(saveAs(picture, folder.filePath(QStringLiteral("out.jpeg")), {}),
              QStringLiteral(".jpg の3文字のみ有効です"));
    EXPECT_EQ(saveAs(picture, folder.filePath(QStringLiteral("out.png")), {}),
              QStringLiteral("拡張子(Extension)が違います"));
    folder.writeBytes(QStringLiteral("note.png"), "keep");
    const OverwriteOutcome png = overwrite(picture, folder.filePath(QStringLiteral("note.png")));
    EXPECT_FALSE(png);
    EXPECT_TRUE(png.refusal.isEmpty()) << "written nothing, silently";
    EXPECT_EQ(entriesOf(folder.path()), "note.png");
    EXPECT_EQ(readAll(folder.filePath(QStringLiteral("note.png"))), "keep");
}

TEST(PictureSaver, SavedBmpIsExactlyTheBitmap)
{
    PictureFolder folder;
    // Widths whose rows need 0 to 3 bytes of padding.
    for (const QSize size : {QSize(1, 1), QSize(5, 3), QSize(6, 7), QSize(7, 2), QSize(64, 33)}) {
        TBitmap picture = PictureFolder::pattern(size.width(), size.height(), size.width());
        picture.setPixel(size.width() - 1, 0, 1, 2, 3); // a corner that a flipped or shifted row would lose
        const QString path = folder.filePath(QStringLiteral("out%1.Bmp").arg(size.width()));
        EXPECT_TRUE(saveAs(picture, path, {}).isEmpty());

        const QByteArray file = readAll(path);
        ASSERT_GE(file.size(), 54);
        EXPECT_EQ(std::uint8_t(file[28]), 24) << "bits per pixel";
        EXPECT_EQ(file.mid(30, 4), QByteArray(4, '\0')) << "no compression";
        const TBitmap back = decodeBmp(file);
        ASSERT_EQ(back.width(), picture.width());
        ASSERT_EQ(back.height(), picture.height());
        EXPECT_EQ(largestChannelDifference(back, picture), 0) << size.width() << "x" << size.height();
    }
}

TEST(PictureSaver, SavedJpegIsTheBitmapAtQualityNinetyBaseline)
{
    PictureFolder folder;
    const TBitmap picture = PictureFolder::pattern(97, 61, 3);
    const QString path = folder.filePath(QStringLiteral("out.JPG"));
    EXPECT_TRUE(saveAs(picture, path, {}).isEmpty());

    const QByteArray file = readAll(path);
    // The encoder's defaults at quality 90: baseline, YCbCr (checked with the codec).
    EXPECT_EQ(file, TJPEGImage::encode(picture, 90));
    const TBitmap back = TJPEGImage::decode(file);
    ASSERT_EQ(back.width(), 97);
    ASSERT_EQ(back.height(), 61);
    EXPECT_LE(largestChannelDifference(back, picture), 12);

    // A source that is no JPEG, or is gone, adds nothing.
    folder.writeBmp(QStringLiteral("source.bmp"), 4, 4);
    EXPECT_TRUE(saveAs(picture, path, folder.filePath(QStringLiteral("source.bmp"))).isEmpty());
    EXPECT_EQ(readAll(path), file);
    EXPECT_TRUE(saveAs(picture, path, folder.filePath(QStringLiteral("gone.jpg"))).isEmpty());
    EXPECT_EQ(readAll(path), file);

    // An empty picture (nothing could be loaded or turned) is refused by both
    // commands with a message of their own, before any file is touched.
    EXPECT_EQ(saveAs(TBitmap(), path, {}),
              QStringLiteral("保存する回転結果がありません。画像を読み込めなかったか、回転できませんでした。"));
    EXPECT_EQ(readAll(path), file);
    const OverwriteOutcome nothing = overwrite(TBitmap(), path);
    EXPECT_FALSE(nothing);
    EXPECT_EQ(nothing.refusal, kNothingToSave);
    EXPECT_EQ(readAll(path), file);
    EXPECT_EQ(entriesOf(folder.path()), "out.JPG, source.bmp");
    EXPECT_WRITE_ERROR((void)encodePicture(TBitmap(), PictureKind::Bmp, {}, path), path, QStringLiteral("空の画像"));
}

TEST(PictureSaver, JpegKeepsTheCameraExifAndColourProfile)
{
    PictureFolder folder;
    // A profile of more than one marker, as wide-gamut cameras write.
    QByteArray profile(90000, '\0');
    for (qsizetype i = 0; i < profile.size(); ++i)
        profile[i] = char(i * 7 + i / 251);
    profile.replace(16, 4, "RGB ");
    const std::vector<JpegMarker> icc = test::iccMarkers(profile, 65519);
    ASSERT_EQ(icc.size(), 2u);
    const JpegMarker xmp{0xe1, QByteArray("http://ns.adobe.com/xap/1.0/", 29) + "<x:xmpmeta tiff:Orientation=\"6\"/>"};

    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "Motorola order" : "Intel order");
        // The camera's picture is 40 x 24; turned, it is 24 x 40.
        CameraExif camera;
        camera.bigEndian = bigEndian;
        camera.width = 40;
        camera.height = 24;
        camera.dimensionsAsShort = bigEndian;
        std::vector<JpegMarker> markers{{0xe1, test::makeExif(camera)}, icc[0], xmp, icc[1]};
        const QString source = folder.filePath(QStringLiteral("camera.jpg"));
        folder.writeBytes(QStringLiteral("camera.jpg"),
                          test::withMarkers(TJPEGImage::encode(PictureFolder::pattern(40, 24, 1), 90), markers));
        ASSERT_EQ(LoadedExif(markers[0].payload).data->size, 4u) << "the source has its thumbnail";

        const TBitmap turned = PictureFolder::pattern(24, 40, 2);
        const QString copy = folder.filePath(QStringLiteral("copy.jpg"));
        EXPECT_TRUE(saveAs(turned, copy, source).isEmpty());
        EXPECT_TRUE(overwrite(turned, source));

        for (const QString& path : {copy, source}) {
            const QByteArray file = readAll(path);
            const std::vector<JpegMarker> segments = test::segmentsBeforeScan(file);
            std::vector<JpegMarker> apps;
            for (const JpegMarker& segment : segments) {
                if (segment.code >= 0xe1 && segment.code <= 0xef)
                    apps.push_back(segment);
            }
            // The EXIF first, then the profile's chunks unchanged; the XMP is not carried.
            ASSERT_EQ(apps.size(), 3u) << path.toStdString();
            EXPECT_EQ(segments[0].code, 0xe0) << "the JFIF header stays first";
            EXPECT_EQ(apps[0].code, 0xe1);
            EXPECT_TRUE(apps[0].payload.startsWith(QByteArray("Exif\0\0", 6)));
            EXPECT_EQ(apps[1].payload, icc[0].payload);
            EXPECT_EQ(apps[2].payload, icc[1].payload);

            const LoadedExif exif(apps[0].payload);
            EXPECT_EQ(exif.bytes(EXIF_IFD_0, EXIF_TAG_MODEL), QByteArray(test::kCameraModel, 8));
            EXPECT_EQ(exif.bytes(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL), QByteArray(test::kTakenAt, 20));
            EXPECT_EQ(exif.bytes(EXIF_IFD_GPS, EXIF_TAG_GPS_LATITUDE).size(), 24);
            EXPECT_EQ(exif.bytes(EXIF_IFD_GPS, EXIF_TAG_GPS_LATITUDE_REF), QByteArray("N", 2));
            EXPECT_EQ(exif.bytes(EXIF_IFD_0, test::kPrivateTag), QByteArray(test::kPrivateValue));
            EXPECT_EQ(exif.number(EXIF_IFD_0, EXIF_TAG_ORIENTATION), 1);
            EXPECT_EQ(exif.number(EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION), 24);
            EXPECT_EQ(exif.number(EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION), 40);
            EXPECT_EQ(exif_data_get_byte_order(exif.data.get()),
                      bigEndian ? EXIF_BYTE_ORDER_MOTOROLA : EXIF_BYTE_ORDER_INTEL);
            EXPECT_EQ(exif.data->size, 0u) << "no thumbnail";
            EXPECT_EQ(exif.data->ifd[EXIF_IFD_1]->count, 0u) << "no thumbnail directory";

            const TBitmap back = TJPEGImage::decode(file);
            EXPECT_EQ(back.width(), 24);
            EXPECT_LE(largestChannelDifference(back, turned), 12);
        }
        // Saved as BMP, the same picture carries nothing and is exact.
        const QString bmp = folder.filePath(QStringLiteral("copy.bmp"));
        EXPECT_TRUE(saveAs(turned, bmp, source).isEmpty());
        EXPECT_EQ(readAll(bmp), encodeBmp24(turned));
    }
}

TEST(PictureSaver, OnlyAnRgbColourProfileIsCarried)
{
    // The saved JPEG is YCbCr: a grey or CMYK profile would misdescribe it.
    auto profileOf = [](const char* space) {
        QByteArray profile(600, '\x5a');
        profile.replace(16, 4, space);
        return profile;
    };
    PictureFolder folder;
    const TBitmap picture = PictureFolder::pattern(16, 8, 4);
    const QByteArray plain = TJPEGImage::encode(picture, 90);
    const QString copy = folder.filePath(QStringLiteral("copy.jpg"));

    auto carried = [&](const std::vector<JpegMarker>& markers) {
        folder.writeBytes(QStringLiteral("source.jpg"), test::withMarkers(plain, markers));
        EXPECT_TRUE(saveAs(picture, copy, folder.filePath(QStringLiteral("source.jpg"))).isEmpty());
        std::vector<QByteArray> icc;
        for (const JpegMarker& segment : test::segmentsBeforeScan(readAll(copy))) {
            if (segment.code == 0xe2)
                icc.push_back(segment.payload);
        }
        return icc;
    };
    for (const char* space : {"GRAY", "CMYK", "Lab ", "rgb "}) {
        SCOPED_TRACE(space);
        EXPECT_TRUE(carried(test::iccMarkers(profileOf(space), 65519)).empty());
        EXPECT_EQ(readAll(copy), plain) << "the picture is saved without it";
    }
    const std::vector<JpegMarker> rgb = test::iccMarkers(profileOf("RGB "), 65519);
    EXPECT_EQ(carried(rgb), std::vector<QByteArray>{rgb[0].payload});

    // A header split over chunks is read in their sequence order, whatever
    // their order in the file: here the colour space lies across chunks 1 and 2.
    for (const char* space : {"RGB ", "CMYK"}) {
        SCOPED_TRACE(space);
        const std::vector<JpegMarker> chunks = test::iccMarkers(profileOf(space), 18);
        ASSERT_GT(chunks.size(), 3u);
        std::vector<JpegMarker> shuffled{chunks[1], chunks[0]};
        shuffled.insert(shuffled.end(), chunks.begin() + 2, chunks.end());
        const std::vector<QByteArray> back = carried(shuffled);
        if (QByteArray(space) == "RGB ") {
            ASSERT_EQ(back.size(), chunks.size());
            EXPECT_EQ(back[0], chunks[1].payload) << "carried in file order";
            EXPECT_EQ(back[1], chunks[0].payload);
        } else {
            EXPECT_TRUE(back.empty());
        }
    }

    // The rule by itself, on chunk payloads.
    auto chunk = [](int sequence, int count, const QByteArray& data) {
        return QByteArray("ICC_PROFILE\0", 12) + char(sequence) + char(count) + data;
    };
    const QByteArray header = profileOf("RGB ").left(20);
    EXPECT_TRUE(iccProfileIsRgb({chunk(1, 1, header)}));
    EXPECT_TRUE(iccProfileIsRgb({chunk(2, 2, header.mid(10)), chunk(1, 2, header.left(10))}));
    EXPECT_FALSE(iccProfileIsRgb({chunk(1, 1, header.left(19))})) << "a header cut short";
    EXPECT_FALSE(iccProfileIsRgb({chunk(1, 2, header.left(10))})) << "its second chunk missing";
    EXPECT_FALSE(iccProfileIsRgb({}));
    EXPECT_FALSE(iccProfileIsRgb({QByteArray("ICC_PROFILE\0", 12)}));
    EXPECT_FALSE(iccProfileIsRgb({chunk(1, 1, profileOf("GRAY").left(20))}));
}

TEST(PictureSaver, DamagedCameraDataIsLeftOutAndThePictureStillSaved)
{
    PictureFolder folder;
    const TBitmap picture = PictureFolder::pattern(16, 8, 4);
    const QByteArray plain = TJPEGImage::encode(picture, 90);

    // EXIF whose directory points outside its marker: no tag can be read.
    QByteArray broken("Exif\0\0II*\0\xff\xff\xff\x7f", 14);
    EXPECT_TRUE(exifForSavedPicture(broken, 16, 8).isEmpty());
    EXPECT_TRUE(exifForSavedPicture(QByteArray("Exif\0\0", 6), 16, 8).isEmpty());
    CameraExif thumbnailOnly;
    thumbnailOnly.onlyThumbnail = true;
    const QByteArray onlyThumbnail = test::makeExif(thumbnailOnly);
    ASSERT_EQ(LoadedExif(onlyThumbnail).data->size, 4u);
    EXPECT_TRUE(exifForSavedPicture(onlyThumbnail, 16, 8).isEmpty()) << "nothing left once the thumbnail goes";
    EXPECT_TRUE(cameraMarkers(QByteArray("not a jpeg"), 16, 8).empty());

    const QString source = folder.filePath(QStringLiteral("odd.jpg"));
    folder.writeBytes(QStringLiteral("odd.jpg"), test::withMarkers(plain, {{0xe1, broken}}));
    EXPECT_TRUE(overwrite(picture, source));
    EXPECT_EQ(readAll(source), plain);

    // A source whose header is cut short still lets the picture be saved.
    folder.writeBytes(QStringLiteral("cut.jpg"), plain.left(40));
    const QString copy = folder.filePath(QStringLiteral("copy.jpg"));
    EXPECT_TRUE(saveAs(picture, copy, folder.filePath(QStringLiteral("cut.jpg"))).isEmpty());
    EXPECT_EQ(readAll(copy), plain);
}

TEST(PictureSaver, OverwriteKeepsPermissionBitsAndFollowsLinks)
{
    PictureFolder folder;
    const QString path = folder.filePath(QStringLiteral("pic.bmp"));
    folder.writeBmp(QStringLiteral("pic.bmp"), 9, 9, 1);
    for (const mode_t mode : {mode_t(0640), mode_t(0604), mode_t(0755)}) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        struct stat before {};
        ::stat(QFile::encodeName(path).constData(), &before);
        EXPECT_TRUE(overwrite(PictureFolder::pattern(9, 9, int(mode)), path));
        struct stat after {};
        ::stat(QFile::encodeName(path).constData(), &after);
        EXPECT_EQ(after.st_mode & 07777, mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not written into";
        EXPECT_EQ(readAll(path), encodeBmp24(PictureFolder::pattern(9, 9, int(mode))));
    }

    // A new file gets what the umask allows.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    const QString fresh = folder.filePath(QStringLiteral("new.jpg"));
    EXPECT_TRUE(saveAs(PictureFolder::pattern(4, 4, 0), fresh, {}).isEmpty());
    EXPECT_EQ(modeOf(fresh), 0666 & ~mask);

    // A link to the picture stays a link; the picture behind it is replaced.
    const QString link = folder.filePath(QStringLiteral("link.bmp"));
    ASSERT_TRUE(QFile::link(path, link));
    EXPECT_TRUE(overwrite(PictureFolder::pattern(9, 9, 77), link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(path), encodeBmp24(PictureFolder::pattern(9, 9, 77)));

    // A folder under the chosen name is not replaced.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("dir.jpg")));
    EXPECT_WRITE_ERROR(saveAs(PictureFolder::pattern(4, 4, 0), folder.filePath(QStringLiteral("dir.jpg")), {}),
                       QStringLiteral("dir.jpg"), systemText(EISDIR));
    EXPECT_EQ(entriesOf(folder.path()), "link.bmp, new.jpg, pic.bmp");
}

TEST(PictureSaver, FullDiskLeavesTheOriginalWholeAndNoTemporaryFile)
{
    const std::unique_ptr<ScratchMount> mount = ScratchMount::tryMount(1024 * 1024);
    if (!mount)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const QString path = mount->filePath(QStringLiteral("photo.bmp"));
    savePicture(PictureFolder::pattern(200, 150, 1), path, PictureKind::Bmp, {}); // 90 KB
    const QByteArray original = readAll(path);
    ASSERT_FALSE(original.isEmpty());

    mount->fillUp();
    const TBitmap turned = PictureFolder::pattern(150, 200, 2);
    EXPECT_WRITE_ERROR(overwrite(turned, path), path, systemText(ENOSPC));
    EXPECT_EQ(readAll(path), original);
    EXPECT_EQ(entriesOf(mount->path()), "filler, photo.bmp");

    // Room for part of the picture: the write stops half-way.
    QFile filler(mount->filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.resize(filler.size() - 40 * 1024));
    EXPECT_WRITE_ERROR(overwrite(turned, path), path, systemText(ENOSPC));
    EXPECT_WRITE_ERROR(saveAs(turned, mount->filePath(QStringLiteral("copy.bmp")), path), "copy.bmp",
                       systemText(ENOSPC));
    EXPECT_EQ(readAll(path), original);
    EXPECT_EQ(entriesOf(mount->path()), "filler, photo.bmp");

    // With room again the same overwrite goes through.
    ASSERT_TRUE(filler.remove());
    EXPECT_TRUE(overwrite(turned, path));
    EXPECT_EQ(readAll(path), encodeBmp24(turned));
}

TEST(PictureSaver, ReadOnlyMountLeavesTheOriginalWithAClearMessage)
{
    const std::unique_ptr<ScratchMount> mount = ScratchMount::tryMount(1024 * 1024);
    if (!mount)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const QString path = mount->filePath(QStringLiteral("写真.jpg"));
    savePicture(PictureFolder::pattern(60, 40, 1), path, PictureKind::Jpeg, {});
    const QByteArray original = readAll(path);

    ASSERT_TRUE(mount->setReadOnly(true));
    const TBitmap turned = PictureFolder::pattern(40, 60, 2);
    EXPECT_WRITE_ERROR(overwrite(turned, path), QStringLiteral("写真.jpg"), systemText(EROFS));
    EXPECT_WRITE_ERROR(saveAs(turned, mount->filePath(QStringLiteral("new.bmp")), path), "new.bmp", systemText(EROFS));
    ASSERT_TRUE(mount->setReadOnly(false));
    EXPECT_EQ(readAll(path), original);
    EXPECT_EQ(entriesOf(mount->path()), "写真.jpg");
}

TEST(PictureSaver, ReadOnlyFileOrFolderIsRefusedForAnOrdinaryUser)
{
    PictureFolder folder;
    const QByteArray where = QFile::encodeName(folder.path());
    ASSERT_EQ(::chmod(where.constData(), 0777), 0);
    const QString locked = folder.filePath(QStringLiteral("locked.bmp"));
    folder.writeBmp(QStringLiteral("locked.bmp"), 5, 5, 1);
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0444), 0);
    const QString open = folder.filePath(QStringLiteral("open.jpg"));
    folder.writeJpeg(QStringLiteral("open.jpg"), 5, 5, 1);
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0666), 0);
    const QByteArray lockedBytes = readAll(locked);
    const QByteArray openBytes = readAll(open);
    const TBitmap turned = PictureFolder::pattern(5, 5, 9);

    // A file the user may not write is not replaced, though its folder allows it.
    EXPECT_TRUE(asOrdinaryUser([&] {
        EXPECT_WRITE_ERROR(overwrite(turned, locked), QStringLiteral("locked.bmp"), systemText(EACCES));
        return true;
    }));
    // In a folder the user may not write, not even a writable file is replaced.
    ASSERT_EQ(::chmod(where.constData(), 0555), 0);
    EXPECT_TRUE(asOrdinaryUser([&] {
        EXPECT_WRITE_ERROR(overwrite(turned, open), QStringLiteral("open.jpg"), systemText(EACCES));
        EXPECT_WRITE_ERROR(saveAs(turned, folder.filePath(QStringLiteral("new.jpg")), open), "new.jpg",
                           systemText(EACCES));
        return true;
    }));
    ASSERT_EQ(::chmod(where.constData(), 0700), 0);
    EXPECT_EQ(readAll(locked), lockedBytes);
    EXPECT_EQ(readAll(open), openBytes);
    EXPECT_EQ(entriesOf(folder.path()), "locked.bmp, open.jpg");
}

} // namespace
