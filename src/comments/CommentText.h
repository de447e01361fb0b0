#pragma once

#include "imaging/FilePath.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace zavio {

// The comment windows' boundary between the text the user sees (Unicode, one
// "\n" per line break) and the bytes of "coment.txt" (code page 932, CR LF).

// The bytes a text area's text is stored as; U+FFFD, which stands for bytes of
// a damaged file, is stored as "?". Throws ShiftJisError for a character code
// page 932 lacks (the text area lets none in).
QByteArray commentBytesOf(QStringView text);
// The text area's text for stored bytes: CR LF, and a lone CR or LF, become
// one line break; bytes that are not code page 932 show as U+FFFD.
QString commentTextOf(QByteArrayView bytes);

// How many bytes text takes in the file: code page 932 bytes, each line break
// two (CR LF). Nothing when text holds a character code page 932 lacks.
std::optional<int> storedLength(QStringView text);

// How much of inserted may go in where kept already stands, so that the whole
// stays within limit stored bytes: inserted up to the first character that
// would pass the limit or that code page 932 lacks (U+FFFD included).
QString fitInsertion(QStringView kept, QStringView inserted, int limit);

// The key a picture's comment record is found by: the code page 932 bytes of
// its name, or for a name that is stored on disk as Shift-JIS already, those
// bytes. Nothing for a name that has no code page 932 form.
std::optional<QByteArray> commentKeyOf(const FilePath& name);

} // namespace zavio
