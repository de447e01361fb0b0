#include "imaging/PictureLoader.h"

#include "imaging/BmpCodec.h"
#include "imaging/FileHandle.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureLimits.h"

#include <QImageReader>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zavio {

namespace {

constexpr qint64 kMaxPictureFileBytes = qint64(2) * 1024 * 1024 * 1024;

} // namespace

QByteArray readPictureFile(const FilePath& file)
{
    const QString& path = file.text();
    // Opened by the name's own bytes, without waiting on a pipe or a device.
    const FileHandle handle(::open(file.native().constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (handle.fd() < 0) {
        const int error = errno;
        if (error == ENOENT)
            throw PictureError(QStringLiteral("ファイルが見つかりません: %1").arg(path));
        throw PictureError(QStringLiteral("ファイルを開けません: %1\n%2").arg(path, systemText(error)));
    }
    struct stat info {};
    if (::fstat(handle.fd(), &info) != 0)
        throw PictureError(QStringLiteral("ファイルを開けません: %1\n%2").arg(path, systemText(errno)));
    if (S_ISDIR(info.st_mode))
        throw PictureError(QStringLiteral("ファイルを開けません（フォルダーです）: %1").arg(path));
    // Pipes and devices would block or never end.
    if (!S_ISREG(info.st_mode))
        throw PictureError(QStringLiteral("ファイルを開けません（通常のファイルではありません）: %1").arg(path));
    const qint64 size = qint64(info.st_size);
    if (size == 0)
        throw PictureError(QStringLiteral("ファイルが空です（0 バイト）: %1").arg(path));
    if (size > kMaxPictureFileBytes)
        throw PictureError(
            QStringLiteral("ファイルが大きすぎます（%1 バイト）。扱えるのは 2 GiB までです: %2").arg(size).arg(path));

    QByteArray data;
    try {
        data.resize(qsizetype(size));
    } catch (const std::bad_alloc&) {
        throw PictureError(
            QStringLiteral("ファイルを読むためのメモリが足りません（%1 バイト）: %2").arg(size).arg(path));
    }
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(handle.fd(), data.data() + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw PictureError(QStringLiteral("ファイルを読めません: %1\n%2").arg(path, systemText(errno)));
        if (n == 0)
            throw PictureError(
                QStringLiteral("ファイルを最後まで読めません（読んでいる間に短くなりました）: %1").arg(path));
        done += n;
    }
    return data;
}

namespace {

// Reads the file of a known kind and decodes it; every error names the file.
template <typename Decode>
bool readAndDecode(const FilePath& file, Decode&& decode)
{
    const PictureKind kind = pictureKindOf(file.text());
    if (kind == PictureKind::None)
        return false;

    const QString& path = file.text();
    const QByteArray data = readPictureFile(file);
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

bool loadPicture(const FilePath& file, TBitmap& bitmap)
{
    return readAndDecode(file, [&](PictureKind kind, const QByteArray& data) {
        TBitmap decoded = kind == PictureKind::Jpeg ? TJPEGImage::decode(data) : decodeBmp(data);
        bitmap = std::move(decoded);
    });
}

bool loadPictureInto(const FilePath& file, TBitmap& scratch)
{
    return readAndDecode(file, [&](PictureKind kind, const QByteArray& data) {
        if (kind == PictureKind::Jpeg)
            TJPEGImage::decodeInto(data, scratch);
        else
            scratch = decodeBmp(data);
    });
}

void loadShownPictureInto(const FilePath& file, TBitmap& scratch)
{
    if (!loadPictureInto(file, scratch))
        throw PictureError(QStringLiteral("この種類のファイルは表示できません: %1").arg(file.text()));
}

void configureImageReaders()
{
    QImageReader::setAllocationLimit(kQtImageAllocationLimitMb);
}

} // namespace zavio
