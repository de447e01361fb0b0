#include "imaging/PictureFormats.h"

namespace zavio {

QStringView extensionOf(QStringView fileName)
{
    const qsizetype slash = fileName.lastIndexOf(u'/');
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot <= slash)
        return {};
    return fileName.mid(dot);
}

const PictureFormat* pictureFormatOf(const QString& fileName)
{
    const QStringView extension = extensionOf(fileName);
    for (const PictureFormat& format : kPictureFormats) {
        if (extension.compare(format.extension, Qt::CaseInsensitive) == 0)
            return &format;
    }
    return nullptr;
}

PictureKind pictureKindOf(const QString& fileName)
{
    const PictureFormat* format = pictureFormatOf(fileName);
    return format ? format->kind : PictureKind::None;
}

} // namespace zavio
