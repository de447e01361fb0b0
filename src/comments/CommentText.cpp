#include "comments/CommentText.h"

#include "common/ShiftJis.h"

#include <QStringDecoder>

namespace zavio {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Bytes of a damaged file that were read as U+FFFD go back as "?": the
// record the user edits is written, the others keep their bytes.
QString storable(QStringView text)
{
    QString lines = text.toString();
    lines.replace(QChar(kReplacement), u'?');
    return lines;
}

} // namespace

QByteArray commentBytesOf(QStringView text)
{
    QString lines = storable(text);
    lines.replace(u'\n', QStringLiteral("\r\n"));
    return toShiftJis(lines);
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
    try {
        return int(toShiftJis(storable(text)).size()) + int(text.count(u'\n'));
    } catch (const ShiftJisError&) {
        return std::nullopt;
    }
}

QString fitInsertion(QStringView kept, QStringView inserted, int limit)
{
    const std::optional<int> used = storedLength(kept);
    if (!used)
        return {};
    int room = limit - *used;
    qsizetype taken = 0;
    while (taken < inserted.size() && room > 0) {
        // One character: a surrogate pair stays whole.
        qsizetype width = 1;
        if (inserted[taken].isHighSurrogate() && taken + 1 < inserted.size() && inserted[taken + 1].isLowSurrogate())
            width = 2;
        const QStringView character = inserted.mid(taken, width);
        const std::optional<int> length = storedLength(character);
        if (!length || *length > room || character[0] == QChar(kReplacement))
            break;
        room -= *length;
        taken += width;
    }
    return inserted.first(taken).toString();
}

std::optional<QByteArray> commentKeyOf(const FilePath& name)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)utf8(name.native());
    if (utf8.hasError())
        return name.native();
    try {
        return toShiftJis(name.text());
    } catch (const ShiftJisError&) {
        return std::nullopt;
    }
}

} // namespace zavio
