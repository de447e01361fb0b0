#include "imaging/PictureLoader.h"

#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLimits.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <new>
#include <utility>

namespace zavio {

namespace {

constexpr qint64 kMaxPictureFileBytes = qint64(2) * 1024 * 1024 * 1024;

} // namespace

PictureKind pictureKindOf(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return PictureKind::None;
    const QStringView extension = QStringView(fileName).mid(dot + 1);
    if (extension.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0)
        return PictureKind::Bmp;
    if (extension.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0
        || extension.compare(QLatin1String("jpeg"), Qt::CaseInsensitive) == 0)
        return PictureKind::Jpeg;
    return PictureKind::None;
}

QByteArray readPictureFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw PictureError(QStringLiteral("ファイルが見つかりません: %1").arg(path));
    if (info.isDir())
        throw PictureError(QStringLiteral("ファイルを開けません（フォルダーです）: %1").arg(path));
    // Pipes and devices would block or never end.
    if (!info.isFile())
        throw PictureError(QStringLiteral("ファイルを開けません（通常のファイルではありません）: %1").arg(path));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PictureError(
            QStringLiteral("ファイルを開けません: %1\n%2").arg(path, file.errorString()));
    const qint64 size = file.size();
    if (size == 0)
        throw PictureError(QStringLiteral("ファイルが空です（0 バイト）: %1").arg(path));
    if (size > kMaxPictureFileBytes)
        throw PictureError(
            QStringLiteral("ファイルが大きすぎます（%1 バイト）。扱えるのは 2 GiB までです: %2")
                .arg(size)
                .arg(path));

    QByteArray data;
    try {
        data.resize(qsizetype(size));
    } catch (const std::bad_alloc&) {
        throw PictureError(QStringLiteral("ファイルを読むためのメモリが足りません（%1 バイト）: %2")
                               .arg(size)
                               .arg(path));
    }
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(data.data() + done, size - done);
        if (n < 0)
            throw PictureError(
                QStringLiteral("ファイルを読めません: %1\n%2").arg(path, file.errorString()));
        if (n == 0)
            throw PictureError(
                QStringLiteral("ファイルを最後まで読めません（読んでいる間に短くなりました）: %1")
                    .arg(path));
        done += n;
    }
    return data;
}

namespace {

// Reads the file of a known kind and decodes it; every error names the file.
template <typename Decode>
bool readAndDecode(const QString& path, Decode&& decode)
{
    const PictureKind kind = pictureKindOf(path);
    if (kind == PictureKind::None)
        return false;

    const QByteArray data = readPictureFile(path);
    try {
        decode(kind, data);
    } catch (const PictureError& error) {
        throw PictureError(QStringLiteral("%1\n%2").arg(path, error.message()));
    } catch (const std::bad_alloc&) {
        throw PictureError(QStringLiteral("%1\n画像のためのメモリが足りません。").arg(path));
    }
    return true;
}

} // namespace

bool loadPicture(const QString& path, TBitmap& bitmap)
{
    return readAndDecode(path, [&](PictureKind kind, const QByteArray& data) {
        TBitmap decoded = kind == PictureKind::Jpeg ? TJPEGImage::decode(data) : decodeBmp(data);
        bitmap = std::move(decoded);
    });
}

bool loadPictureInto(const QString& path, TBitmap& scratch)
{
    return readAndDecode(path, [&](PictureKind kind, const QByteArray& data) {
        if (kind == PictureKind::Jpeg)
            TJPEGImage::decodeInto(data, scratch);
        else
            scratch = decodeBmp(data);
    });
}

void configureImageReaders()
{
    QImageReader::setAllocationLimit(kQtImageAllocationLimitMb);
}

} // namespace zavio
