#pragma once

#include "imaging/UserError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zavio {

// Text that cannot be written as Shift-JIS (code page 932), or a system whose
// iconv has no CP932. The message is Japanese and is shown to the user as it is.
class ShiftJisError : public UserError {
public:
    ShiftJisError(const QString& message, char32_t character) : UserError(message), character_(character) {}
    // The code point that could not be encoded, or 0 when the error is not about one.
    char32_t character() const { return character_; }

private:
    char32_t character_ = 0;
};

// The text as Shift-JIS bytes in Microsoft's code page 932 (line ends are kept
// as they are). Throws ShiftJisError naming the first character CP932 lacks.
QByteArray toShiftJis(const QString& text);

// The bytes read as code page 932. Bytes that are not Shift-JIS, and a double
// byte character cut off at the end, become U+FFFD, so a damaged file still reads.
QString fromShiftJis(QByteArrayView bytes);

// True when the bytes are entirely well-formed code page 932.
bool isValidShiftJis(QByteArrayView bytes);

// A character as a message names it: "「é」 (U+00E9)", or the code alone for a
// control character or a lone surrogate, which cannot be shown.
QString describeCharacter(char32_t character);

} // namespace zavio
