#include "rotation/PictureSaver.h"

#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "imaging/PictureFormats.h"
#include "rotation/CameraMetadata.h"

#include <QStringList>

#include <new>

namespace zavio {

namespace {

constexpr int kJpegQuality = 90;

std::vector<JpegMarker> markersOf(const FilePath& source, int width, int height)
{
    if (source.isEmpty() || pictureKindOf(source.text()) != PictureKind::Jpeg)
        return {};
    try {
        return cameraMarkers(readPictureFile(source), width, height);
    } catch (const PictureError&) {
        // The picture can be saved without what its camera wrote.
        return {};
    }
}

} // namespace

SaveAsChoice saveAsChoice(const QString& fileName)
{
    const PictureFormat* format = pictureFormatOf(fileName);
    if (!format)
        return {PictureKind::None, kWrongExtension};
    if (!format->saveAsAllowed)
        return {PictureKind::None, kOnlyJpgExtension};
    return {format->kind, {}};
}

PictureKind overwriteKind(const QString& fileName)
{
    const PictureFormat* format = pictureFormatOf(fileName);
    return format ? format->overwriteWritesAs : PictureKind::None;
}

QString saveAsNameFilter()
{
    QStringList shown;
    QStringList matched;
    for (const PictureFormat& format : kPictureFormats) {
        if (!format.saveAsAllowed)
            continue;
        const QString pattern = QStringLiteral("*") + format.extension;
        shown.append(pattern);
        matched.append(pattern);
        matched.append(pattern.toUpper());
    }
    return QStringLiteral("画像ファイル(%1) (%2)").arg(shown.join(u';'), matched.join(u' '));
}

QByteArray encodePicture(const TBitmap& bitmap, PictureKind kind, const FilePath& source, const FilePath& target)
{
    try {
        if (kind == PictureKind::Bmp)
            return encodeBmp24(bitmap);
        if (kind == PictureKind::Jpeg)
            return TJPEGImage::encode(bitmap, kJpegQuality, markersOf(source, bitmap.width(), bitmap.height()));
    } catch (const PictureError& error) {
        throw WriteError(QStringLiteral("ファイルを保存できません: %1\n%2").arg(target.text(), error.message()));
    } catch (const std::bad_alloc&) {
        throw WriteError(
            QStringLiteral("ファイルを保存できません: %1\n画像のためのメモリが足りません。").arg(target.text()));
    }
    throw WriteError(QStringLiteral("ファイルを保存できません（BMP でも JPEG でもありません）: %1").arg(target.text()));
}

void savePicture(const TBitmap& bitmap, const FilePath& target, PictureKind kind, const FilePath& source)
{
    writeFileAtomically(target, encodePicture(bitmap, kind, source, target));
}

QString saveAs(const TBitmap& bitmap, const FilePath& target, const FilePath& source)
{
    if (bitmap.isEmpty())
        return kNothingToSave;
    const SaveAsChoice choice = saveAsChoice(target.text());
    if (choice.kind != PictureKind::None)
        savePicture(bitmap, target, choice.kind, source);
    return choice.refusal;
}

OverwriteOutcome overwrite(const TBitmap& bitmap, const FilePath& picture)
{
    if (bitmap.isEmpty())
        return {false, kNothingToSave};
    const PictureKind kind = overwriteKind(picture.text());
    if (kind == PictureKind::None)
        return {false, {}};
    savePicture(bitmap, picture, kind, picture);
    return {true, {}};
}

} // namespace zavio
