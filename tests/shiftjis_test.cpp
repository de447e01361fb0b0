#include "common/ShiftJis.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using zavio::fromShiftJis;
using zavio::isValidShiftJis;
using zavio::ShiftJisError;
using zavio::toShiftJis;

namespace {

QByteArray bytes(const char* data, qsizetype size)
{
    return QByteArray(data, size);
}

QString text(const char16_t* utf16)
{
    return QString::fromUtf16(utf16);
}

// The UTF-16 units of a string, so a failing comparison shows exact code points.
std::vector<char16_t> units(const QString& s)
{
    return {s.utf16(), s.utf16() + s.size()};
}

} // namespace

// Known byte values of code page 932, both ways: kana, the characters where
// CP932 differs from plain JIS (fullwidth tilde, NEC and IBM extensions),
// half-width katakana, ASCII with backslash, and CRLF line ends kept as they are.
TEST(ShiftJis, ConvertsCodePage932BothWays)
{
    struct Case {
        QString text;
        QByteArray sjis;
    };
    const Case cases[] = {
        {text(u"ザヴィオ"), bytes("\x83\x55\x83\x94\x83\x42\x83\x49", 8)},
        {text(u"\uFF5E"), bytes("\x81\x60", 2)}, // ～ fullwidth tilde
        {text(u"①"), bytes("\x87\x40", 2)}, // NEC special row 13
        {text(u"ｱ"), bytes("\xB1", 1)}, // half-width katakana
        {text(u"髙"), bytes("\xFB\xFC", 2)}, // IBM extension, as Windows writes it
        {QStringLiteral("C:\\pics ~"), bytes("C:\\pics ~", 9)},
        {text(u"一行目\r\n二行目\r\n"), bytes("\x88\xea\x8d\x73\x96\xda\r\n\x93\xf1\x8d\x73\x96\xda\r\n", 16)},
        {QString(), QByteArray()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(toShiftJis(c.text), c.sjis);
        EXPECT_EQ(units(fromShiftJis(c.sjis)), units(c.text));
        EXPECT_TRUE(isValidShiftJis(c.sjis));
    }

    // Text typed on Linux uses the JIS code points for the wave dash and minus;
    // they must still be written, as the CP932 bytes Windows would read back.
    EXPECT_EQ(toShiftJis(text(u"\u301C\u2212")), bytes("\x81\x60\x81\x7C", 4));
    // The NEC-selected duplicate of an IBM extension character reads as the same character.
    EXPECT_EQ(units(fromShiftJis(bytes("\xEE\xE0", 2))), units(text(u"髙")));
}

// Every well-formed two-byte code reads back unchanged after a round trip, and a
// long mixed text converts whole (no loss where the output buffer is sized).
TEST(ShiftJis, RoundTripsEveryDoubleByteCharacterAndLongText)
{
    int valid = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead == 0xA0)
            lead = 0xE0; // 0xA1..0xDF are half-width katakana, single bytes
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char pair[2] = {char(lead), char(trail)};
            const QByteArrayView code(pair, 2);
            if (!isValidShiftJis(code))
                continue;
            ++valid;
            const QString decoded = fromShiftJis(code);
            ASSERT_EQ(decoded.size(), 1) << std::hex << lead << ' ' << trail;
            EXPECT_NE(decoded.at(0).unicode(), 0xFFFD) << std::hex << lead << ' ' << trail;
            EXPECT_EQ(units(fromShiftJis(toShiftJis(decoded))), units(decoded)) << std::hex << lead << ' ' << trail;
        }
    }
    // JIS X 0208 with the NEC and IBM extensions and the user-defined area.
    EXPECT_GT(valid, 9000);

    QString longText;
    for (int i = 0; i < 5000; ++i)
        longText += text(u"ザヴィオ～ｱa\r\n①");
    const QByteArray encoded = toShiftJis(longText);
    EXPECT_EQ(encoded.size(), 5000 * 16);
    EXPECT_EQ(units(fromShiftJis(encoded)), units(longText));
}

// A character code page 932 lacks is refused with a Japanese message naming it,
// whether it sits alone, after convertible text, or is not a character at all.
TEST(ShiftJis, RefusesCharactersCodePage932Lacks)
{
    struct Case {
        QString text;
        char32_t character;
        QString shown;
    };
    const Case cases[] = {
        {text(u"コメント한글"), U'한', text(u"한")},
        {text(u"絵\U0001F600"), U'\U0001F600', text(u"\U0001F600")},
        {text(u"Caf\u00E9"), U'\u00E9', text(u"é")},
        {QString(QChar(char16_t(0xD800))) + QLatin1Char('a'), 0xD800, QStringLiteral("U+D800")},
        {QStringLiteral("a") + QChar(char16_t(0xDBFF)), 0xDBFF, QStringLiteral("U+DBFF")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        try {
            (void)toShiftJis(c.text);
            ADD_FAILURE() << "no error";
        } catch (const ShiftJisError& error) {
            EXPECT_EQ(error.character(), c.character);
            EXPECT_TRUE(error.message().startsWith(text(u"Shift-JIS で表せない文字があります: ")))
                << error.message().toStdString();
            EXPECT_TRUE(error.message().contains(c.shown)) << error.message().toStdString();
            const std::runtime_error& base = error;
            EXPECT_EQ(QString::fromUtf8(base.what()), error.message());
        }
    }
}

// Damaged bytes read as U+FFFD and reading goes on: a lead byte cut off at the
// end, a trail byte on its own, a lead byte before ASCII (the ASCII is kept) and
// an unassigned pair (one replacement for both bytes).
TEST(ShiftJis, ReadsDamagedBytesWithReplacementCharacters)
{
    struct Case {
        QByteArray sjis;
        QString text;
    };
    const Case cases[] = {
        {bytes("AB\x83", 3), text(u"AB\uFFFD")},
        {bytes("\x83\x55\x87", 3), text(u"ザ\uFFFD")},
        {bytes("A\x80"
               "B",
               3),
         text(u"A\uFFFDB")},
        {bytes("\xA0\x83\x49", 3), text(u"\uFFFDオ")},
        {bytes("\x81 x\r\n", 5), text(u"\uFFFD x\r\n")},
        {bytes("\x85\x80z", 3), text(u"\uFFFDz")},
        {bytes("\xFF\xFF", 2), text(u"\uFFFD\uFFFD")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sjis.toHex().toStdString());
        EXPECT_EQ(units(fromShiftJis(c.sjis)), units(c.text));
        EXPECT_FALSE(isValidShiftJis(c.sjis));
    }
}

// The converters are kept open between calls, one per thread: a conversion
// that failed half way must not leave bytes or state behind for the next
// call, and threads converting at once must not share one.
TEST(ShiftJis, EachConversionStartsAfreshOnAnyThread)
{
    const QString kana = text(u"ザヴィオ");
    const QByteArray kanaBytes = toShiftJis(kana);
    for (int round = 0; round < 3; ++round) {
        EXPECT_THROW((void)toShiftJis(text(u"写真한글")), ShiftJisError);
        EXPECT_THROW((void)toShiftJis(QStringLiteral("a") + QChar(char16_t(0xDBFF))), ShiftJisError);
        EXPECT_EQ(toShiftJis(kana), kanaBytes);
        EXPECT_EQ(units(fromShiftJis(bytes("AB\x83", 3))), units(text(u"AB\uFFFD")));
        EXPECT_FALSE(isValidShiftJis(bytes("\x83", 1)));
        EXPECT_EQ(units(fromShiftJis(kanaBytes)), units(kana));
        EXPECT_TRUE(isValidShiftJis(kanaBytes));
    }

    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                if (toShiftJis(kana) != kanaBytes || fromShiftJis(kanaBytes) != kana)
                    ++wrong;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
