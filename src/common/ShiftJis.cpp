#include "common/ShiftJis.h"

#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace zavio {

namespace {

// QString's UTF-16 code units in this machine's byte order, so no copy is needed.
constexpr const char* kUtf16 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-16LE" : "UTF-16BE";
constexpr const char* kShiftJis = "CP932";
constexpr char16_t kReplacement = 0xFFFD;

// An iconv conversion descriptor, closed when it goes out of scope.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw ShiftJisError(QStringLiteral("文字コード変換 (%1 → %2) が使えません")
                                    .arg(QLatin1StringView(from), QLatin1StringView(to)),
                                0);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Back to the initial shift state, so a descriptor can be used again
    // after a conversion that stopped part way.
    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

    // One iconv() step; returns errno on failure and 0 on success.
    int convert(const char*& in, size_t& inLeft, char*& out, size_t& outLeft)
    {
        char* input = const_cast<char*>(in);
        const size_t result = iconv(cd_, &input, &inLeft, &out, &outLeft);
        in = input;
        return result == static_cast<size_t>(-1) ? errno : 0;
    }

private:
    iconv_t cd_;
};

bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool isTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// How many bytes one replacement character stands for at an invalid sequence:
// a lead byte takes a non-ASCII trail byte with it (an unmapped pair), but an
// ASCII byte after a lead byte is read again on its own.
qsizetype invalidSequenceLength(const char* at, size_t left)
{
    const auto lead = static_cast<unsigned char>(at[0]);
    if (left >= 2 && isLeadByte(lead)) {
        const auto trail = static_cast<unsigned char>(at[1]);
        if (trail >= 0x80 && isTrailByte(trail))
            return 2;
    }
    return 1;
}

// The code point that starts at a UTF-16 position, for the error message.
char32_t codePointAt(const char16_t* at, size_t unitsLeft)
{
    if (unitsLeft >= 2 && QChar::isHighSurrogate(at[0]) && QChar::isLowSurrogate(at[1]))
        return QChar::surrogateToUcs4(at[0], at[1]);
    return at[0];
}

// One descriptor per direction and thread, opened on first use: the comment
// editor checks every typed character, and iconv_open loads a conversion table.
Iconv& toShiftJisConverter()
{
    thread_local Iconv cd(kShiftJis, kUtf16);
    cd.reset();
    return cd;
}

Iconv& fromShiftJisConverter()
{
    thread_local Iconv cd(kUtf16, kShiftJis);
    cd.reset();
    return cd;
}

} // namespace

QByteArray toShiftJis(const QString& text)
{
    QByteArray result;
    if (text.isEmpty())
        return result;
    Iconv& cd = toShiftJisConverter();
    // Every UTF-16 unit becomes at most two bytes; the loop still grows on demand.
    result.resize(text.size() * 2);
    const char* in = reinterpret_cast<const char*>(text.utf16());
    size_t inLeft = size_t(text.size()) * sizeof(char16_t);
    qsizetype written = 0;
    while (inLeft > 0) {
        char* out = result.data() + written;
        size_t outLeft = size_t(result.size() - written);
        const int error = cd.convert(in, inLeft, out, outLeft);
        written = out - result.data();
        if (error == 0)
            break;
        if (error == E2BIG) {
            result.resize(result.size() * 2 + 16);
            continue;
        }
        // EILSEQ: a character CP932 lacks or a lone surrogate; EINVAL: a high
        // surrogate at the very end. Either way the text cannot be written.
        const char32_t character = codePointAt(reinterpret_cast<const char16_t*>(in), inLeft / sizeof(char16_t));
        throw ShiftJisError(QStringLiteral("Shift-JIS で表せない文字があります: %1").arg(describeCharacter(character)),
                            character);
    }
    result.resize(written);
    return result;
}

QString fromShiftJis(QByteArrayView bytes)
{
    QString result;
    if (bytes.isEmpty())
        return result;
    Iconv& cd = fromShiftJisConverter();
    // Each CP932 character is one or two bytes and one UTF-16 unit, and each
    // replacement stands for at least one byte, so one unit per byte is enough.
    result.resize(bytes.size());
    const char* in = bytes.data();
    size_t inLeft = size_t(bytes.size());
    char* const base = reinterpret_cast<char*>(result.data());
    char* out = base;
    size_t outLeft = size_t(result.size()) * sizeof(char16_t);
    auto putReplacement = [&] {
        const char16_t replacement = kReplacement;
        std::memcpy(out, &replacement, sizeof replacement);
        out += sizeof replacement;
        outLeft -= sizeof replacement;
    };
    while (inLeft > 0) {
        const int error = cd.convert(in, inLeft, out, outLeft);
        if (error == 0)
            break;
        if (error == EILSEQ) {
            const qsizetype skip = invalidSequenceLength(in, inLeft);
            putReplacement();
            in += skip;
            inLeft -= size_t(skip);
        } else if (error == EINVAL) {
            // A lead byte with nothing after it.
            putReplacement();
            inLeft = 0;
        } else {
            // E2BIG cannot happen with one unit per byte; stop rather than loop.
            break;
        }
    }
    result.resize((out - base) / qsizetype(sizeof(char16_t)));
    return result;
}

QString describeCharacter(char32_t character)
{
    const QString code = QStringLiteral("U+%1").arg(uint(character), 4, 16, QLatin1Char('0')).toUpper();
    if (QChar::isSurrogate(character) || QChar::category(character) == QChar::Other_Control)
        return code;
    return QStringLiteral("「%1」 (%2)").arg(QString::fromUcs4(&character, 1), code);
}

bool isValidShiftJis(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return true;
    Iconv& cd = fromShiftJisConverter();
    QByteArray buffer(bytes.size() * qsizetype(sizeof(char16_t)), Qt::Uninitialized);
    const char* in = bytes.data();
    size_t inLeft = size_t(bytes.size());
    char* out = buffer.data();
    size_t outLeft = size_t(buffer.size());
    return cd.convert(in, inLeft, out, outLeft) == 0 && inLeft == 0;
}

} // namespace zavio
