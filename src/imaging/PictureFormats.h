#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <array>

namespace zavio {

enum class PictureKind { None, Bmp, Jpeg };

// One file extension the program knows and what each command does with it.
struct PictureFormat {
    // With its dot, in lower case; names match it in any letter case.
    QLatin1String extension;
    PictureKind kind;
    // Whether the rotation window turns a picture of this name.
    bool rotatable;
    // Whether the save-as command writes a file of this name.
    bool saveAsAllowed;
    // What the overwrite command writes over a file of this name.
    PictureKind overwriteWritesAs;
};

// Every known extension; a name with none of them is no picture. The folder
// lists and the viewers take all of them, the other columns tell the commands
// apart: ".jpeg" is shown but not turned, save-as refuses it, and an overwrite
// of it writes a JPEG. The save dialog's filter lists them in this order.
inline constexpr std::array<PictureFormat, 3> kPictureFormats{{
    {QLatin1String(".jpg"), PictureKind::Jpeg, true, true, PictureKind::Jpeg},
    {QLatin1String(".jpeg"), PictureKind::Jpeg, false, false, PictureKind::Jpeg},
    {QLatin1String(".bmp"), PictureKind::Bmp, true, true, PictureKind::Bmp},
}};

// The extension of a file name, with its dot: from the last "." of the name's
// last part (after its last "/") on, so a dot in a folder name does not count.
// Empty when that part has no dot; a name that is only an extension (".bmp")
// is all extension.
QStringView extensionOf(QStringView fileName);

// The row of kPictureFormats for the name's extension, without regard to case;
// null when it has none of them.
const PictureFormat* pictureFormatOf(const QString& fileName);

// The kind of the name's format, PictureKind::None for no known format.
PictureKind pictureKindOf(const QString& fileName);

} // namespace zavio
