// The Japanese reasons the JPEG decoder gives for the usual faults, without a window.
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "support/EnglishWords.h"
#include "support/PictureFolder.h"

#include <gtest/gtest.h>

using namespace zavio;
using zavio::fixtures::englishIn;

namespace {

QString decodeError(const QByteArray& data)
{
    try {
        TJPEGImage::decode(data);
    } catch (const PictureError& error) {
        return error.message();
    }
    ADD_FAILURE() << "decoded without an error";
    return {};
}

// The offset of the first marker with the given code, or -1.
qsizetype markerAt(const QByteArray& jpeg, unsigned char code)
{
    for (qsizetype i = 2; i + 1 < jpeg.size(); ++i)
        if (std::uint8_t(jpeg[i]) == 0xff && std::uint8_t(jpeg[i + 1]) == code)
            return i;
    return -1;
}

QByteArray smallJpeg()
{
    return TJPEGImage::encode(fixtures::PictureFolder::pattern(48, 32, 3), 90);
}

} // namespace

// Each common way a JPEG fails is told by its cause, in Japanese, and any
// other failure still gets a Japanese text.
TEST(JpegReasons, CommonFailuresAreToldInJapaneseByTheirCause)
{
    const QByteArray good = smallJpeg();
    const qsizetype sof = markerAt(good, 0xc0);
    ASSERT_GT(sof, 0);

    struct Case {
        const char* what;
        QByteArray data;
        const char* reason;
    };
    QByteArray lossless = good;
    lossless[sof + 1] = char(0xc3);
    QByteArray twelveBits = good;
    twelveBits[sof + 4] = char(12);
    const int sofLength = (std::uint8_t(good[sof + 2]) << 8) | std::uint8_t(good[sof + 3]);
    QByteArray withoutFrame = good;
    withoutFrame.remove(sof, 2 + sofLength);
    const Case cases[] = {
        {"cut in half", good.left(good.size() / 2), "データが途中で終わっています"},
        {"cut before the picture data", good.left(sof + 4), "データが途中で終わっています"},
        {"text", QByteArray("hello, world\n"), "JPEG ファイルではありません"},
        {"a PNG", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "JPEG ファイルではありません"},
        {"lossless", lossless, "対応していません"},
        {"twelve bits", twelveBits, "対応していません"},
        {"no frame before the scan", withoutFrame, "データが壊れています"},
        {"no picture at all", QByteArray("\xff\xd8\xff\xd9", 4), "データが壊れています"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString message = decodeError(c.data);
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.reason))) << message.toStdString();
        EXPECT_EQ(englishIn(message), "") << message.toStdString();
    }

    const QString other = jpegReason(9999);
    EXPECT_TRUE(other.contains(QStringLiteral("9999"))) << other.toStdString();
    EXPECT_EQ(englishIn(other), "") << other.toStdString();
}
