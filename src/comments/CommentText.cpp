#include "comments/CommentText.h"

#include "common/ShiftJis.h"

#include <QStringDecoder>
#include <algorithm>

namespace zavio {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Bytes of a damaged file that were read as U+FFFD go back as "?": the
// record the user edits is written, the others keep their bytes.
QString storable(QStringView text)
{
    QString lines = withLfLineBreaks(text);
    lines.replace(QChar(kReplacement), u'?');
    return lines;
}

// The first control character the file cannot hold (NUL among them).
std::optional<char16_t> firstUnstorableControl(QStringView text)
{
    for (const QChar c : text) {
        if (!isStorableControl(c.unicode()))
            return c.unicode();
    }
    return std::nullopt;
}

// The length of one character (a code unit, or a surrogate pair) at a position.
qsizetype characterWidth(QStringView text, qsizetype at)
{
    if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        return 2;
    return 1;
}

std::optional<int> storedLengthOfCharacter(QStringView character)
{
    if (character[0] == QChar(kReplacement))
        return std::nullopt;
    return storedLength(character);
}

// The stored length of the characters of text that can be stored.
int storableLength(QStringView text)
{
    if (const std::optional<int> whole = storedLength(text))
        return *whole;
    int length = 0;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype width = characterWidth(text, at);
        length += storedLength(text.mid(at, width)).value_or(0);
        at += width;
    }
    return length;
}

} // namespace

QString withLfLineBreaks(QStringView text)
{
    QString lines = text.toString();
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    lines.replace(QChar::ParagraphSeparator, u'\n');
    return lines;
}

bool isStorableControl(char16_t character)
{
    return character >= 0x20 || character == u'\t' || character == u'\n' || character == u'\r';
}

QByteArray commentBytesOf(QStringView text)
{
    QString lines = storable(text);
    if (const std::optional<char16_t> control = firstUnstorableControl(lines))
        throw ShiftJisError(QStringLiteral("コメントに書けない制御文字があります: %1").arg(describeCharacter(*control)),
                            *control);
    lines.replace(u'\n', QStringLiteral("\r\n"));
    return toShiftJis(lines);
}

QByteArray recordBytesOf(QStringView text, const QByteArray& keyBytes, QStringView keyText)
{
    const qsizetype lineEnd = text.indexOf(u'\n');
    const QStringView firstLine = lineEnd < 0 ? text : text.first(lineEnd);
    if (keyBytes.isEmpty() || firstLine != keyText)
        return commentBytesOf(text);
    return keyBytes + commentBytesOf(text.sliced(firstLine.size()));
}

QString commentTextOf(QByteArrayView bytes)
{
    QString text = fromShiftJis(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

std::optional<int> storedLength(QStringView text)
{
    const QString lines = storable(text);
    if (firstUnstorableControl(lines))
        return std::nullopt;
    try {
        return int(toShiftJis(lines).size()) + int(lines.count(u'\n'));
    } catch (const ShiftJisError&) {
        return std::nullopt;
    }
}

QString fitInsertion(QStringView kept, QStringView inserted, int limit)
{
    int room = limit - storableLength(kept);
    qsizetype taken = 0;
    while (taken < inserted.size() && room > 0) {
        const qsizetype width = characterWidth(inserted, taken);
        const std::optional<int> length = storedLengthOfCharacter(inserted.mid(taken, width));
        if (!length || *length > room)
            break;
        room -= *length;
        taken += width;
    }
    return inserted.first(taken).toString();
}

std::optional<QByteArray> commentKeyOf(const FilePath& name)
{
    const QByteArray& bytes = name.native();
    // A record keyed by nothing would be found by no picture, and a control
    // byte would break the record apart.
    if (bytes.isEmpty() || std::any_of(bytes.begin(), bytes.end(), [](char b) { return uchar(b) < 0x20; }))
        return std::nullopt;
    // The decoder reports an error only once it has decoded the bytes.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    if (utf8.hasError())
        return bytes;
    try {
        return toShiftJis(name.text());
    } catch (const ShiftJisError&) {
        return std::nullopt;
    }
}

} // namespace zavio
