#pragma once

#include "common/AtomicFile.h"
#include "imaging/FilePath.h"
#include "imaging/PictureLoader.h"
#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QString>

namespace zavio {

// Saving the result window's picture. The window calls saveAs or overwrite
// under its hourglass, shows a returned refusal in a plain message box and
// a WriteError (a UserError) in an error box, staying open after the latter.

// The save-as command's decision for a chosen name: the kind of file to
// write, or PictureKind::None and the message to show instead.
struct SaveAsChoice {
    PictureKind kind = PictureKind::None;
    QString refusal;
};

inline const QString kOnlyJpgExtension = QStringLiteral(".jpg の3文字のみ有効です");
inline const QString kWrongExtension = QStringLiteral("拡張子(Extension)が違います");
// Either command on a result that holds no picture (the picture could not be
// loaded or turned): nothing is written.
inline const QString kNothingToSave =
    QStringLiteral("保存する回転結果がありません。画像を読み込めなかったか、回転できませんでした。");

// The extension rules, by the name's row of kPictureFormats (pictureFormatOf).
// Save as: a format save-as allows is written as its kind; a known one it
// refuses (".jpeg") is refused with kOnlyJpgExtension, as the user can save it
// under ".jpg"; any other name, no extension included, with kWrongExtension.
[[nodiscard]] SaveAsChoice saveAsChoice(const QString& fileName);
// Overwrite: the format's overwriteWritesAs (".jpeg" too is written as a
// JPEG), None for no known format.
[[nodiscard]] PictureKind overwriteKind(const QString& fileName);

// The save dialog's filter of the formats save-as allows: named by their
// patterns, matching each in lower and upper case, as
// "画像ファイル(*.jpg;*.bmp) (*.jpg *.JPG *.bmp *.BMP)".
[[nodiscard]] QString saveAsNameFilter();

// The file's bytes: an uncompressed 24-bit BMP, or a JPEG at quality 90,
// baseline, YCbCr. A JPEG made from a JPEG source carries the source's EXIF
// and ICC profile (see cameraMarkers); a source that cannot be read, or
// carries none, gives a JPEG without them. Throws WriteError naming target
// when the picture cannot be encoded (an empty bitmap, no memory).
[[nodiscard]] QByteArray encodePicture(const TBitmap& bitmap, PictureKind kind, const FilePath& source,
                                       const FilePath& target);

// Writes bitmap to target as kind (Bmp or Jpeg) through writeFileAtomically:
// target is either replaced whole or, with WriteError, left as it was.
// source is the picture that was turned, empty when there is none.
void savePicture(const TBitmap& bitmap, const FilePath& target, PictureKind kind, const FilePath& source);

// The save-as command once the dialog gave target: writes bitmap there by
// saveAsChoice and returns the refusal to show, empty when it was saved. An
// empty bitmap is refused with kNothingToSave before the name is looked at.
[[nodiscard]] QString saveAs(const TBitmap& bitmap, const FilePath& target, const FilePath& source);

// What the overwrite command did. Nothing is written for an empty bitmap,
// which has kNothingToSave as its refusal, nor for a name whose extension is
// none of the three, which has none. True when the file was written.
struct [[nodiscard]] OverwriteOutcome {
    bool written = false;
    QString refusal;
    explicit operator bool() const { return written; }
};

// The overwrite command: writes bitmap over picture, its own source, by
// overwriteKind.
OverwriteOutcome overwrite(const TBitmap& bitmap, const FilePath& picture);

} // namespace zavio
