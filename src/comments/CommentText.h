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

// A line break as the text area or the clipboard may give it: LF, CR, CR LF
// or Qt's paragraph separator (U+2029), each made one "\n".
QString withLfLineBreaks(QStringView text);

// Whether a character may stand in "coment.txt" at all, whatever its code: a
// C0 control character other than Tab and a line break may not. NUL would end
// the viewer's reading of the file and 0x0E would end a record.
bool isStorableControl(char16_t character);

// The bytes a text area's text is stored as, every line break CR LF; U+FFFD,
// which stands for bytes of a damaged file, is stored as "?". Throws
// ShiftJisError for a character code page 932 lacks or a control character
// the file cannot hold (the text area lets neither in).
QByteArray commentBytesOf(QStringView text);
// The bytes a record is written as: those of commentBytesOf, but a first line
// that still reads keyText is written as keyBytes, the key it was found or
// made by. A name keyed by its own bytes (Latin-1, or a duplicate code of
// code page 932) thus keeps its record, which converting the shown text
// would give other bytes. Throws as commentBytesOf does.
QByteArray recordBytesOf(QStringView text, const QByteArray& keyBytes, QStringView keyText);
// The text area's text for stored bytes: CR LF, and a lone CR or LF, become
// one line break; bytes that are not code page 932 show as U+FFFD.
QString commentTextOf(QByteArrayView bytes);

// How many bytes text takes in the file: code page 932 bytes, each line break
// two (CR LF). Nothing when text holds a character that cannot be stored.
std::optional<int> storedLength(QStringView text);

// How much of inserted may go in where kept already stands, so that the whole
// stays within limit stored bytes: inserted up to the first character that
// would pass the limit or that cannot be stored (no code page 932 code, a
// control character, U+FFFD), a surrogate pair taken or left whole. Characters
// of kept that cannot be stored count nothing: they keep the text from being
// written but never keep storable characters out.
QString fitInsertion(QStringView kept, QStringView inserted, int limit);

// The key a picture's comment record is found by: the code page 932 bytes of
// its name, or for a name whose bytes are not UTF-8 (Shift-JIS from Windows,
// Latin-1, ...), those bytes as they are. Nothing for an empty name, for a
// name with a control character, and for a UTF-8 name that has no code page
// 932 form.
std::optional<QByteArray> commentKeyOf(const FilePath& name);

} // namespace zavio
