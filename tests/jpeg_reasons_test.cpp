#include "browser/TForm1.h"
#include "common/Selection.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureError.h"
#include "support/CapturedErrors.h"
#include "support/EnglishWords.h"
#include "support/PictureFolder.h"

#include <gtest/gtest.h>

using namespace zavio;
using zavio::fixtures::englishIn;

namespace {

QByteArray smallJpeg()
{
    return TJPEGImage::encode(fixtures::PictureFolder::pattern(48, 32, 3), 90);
}

} // namespace

// The page's report names each broken picture with its reason in Japanese: a
// cut-off JPEG, an empty file and a text file renamed to ".jpg".
TEST(JpegReasonsWindow, ThePageReportGivesEachBrokenPictureItsJapaneseReason)
{
    const QByteArray good = smallJpeg();
    fixtures::PictureFolder folder;
    folder.writeBytes(QStringLiteral("a_good.jpg"), good);
    folder.writeBytes(QStringLiteral("b_cut.jpg"), good.left(good.size() / 2));
    folder.writeBytes(QStringLiteral("c_empty.jpg"), QByteArray());
    folder.writeBytes(QStringLiteral("d_text.jpg"), QByteArray("not a picture, only text\n"));
    fixtures::CapturedErrors errors;
    Selection selection;
    TForm1 form(selection);
    form.openFolder(folder.path());

    ASSERT_EQ(errors.messages.size(), 1);
    const QString& report = errors.messages[0];
    const QStringList parts = report.split(QStringLiteral("\n\n"));
    struct Broken {
        const char* name;
        const char* reason;
    };
    for (const Broken& b : {Broken{"b_cut.jpg", "データが途中で終わっています"}, Broken{"c_empty.jpg", "0 バイト"},
                            Broken{"d_text.jpg", "JPEG ファイルではありません"}}) {
        SCOPED_TRACE(b.name);
        const QString name = QString::fromLatin1(b.name);
        const QStringList told = parts.filter(name);
        ASSERT_EQ(told.size(), 1) << report.toStdString();
        EXPECT_TRUE(told[0].contains(QString::fromUtf8(b.reason))) << told[0].toStdString();
    }
    EXPECT_FALSE(report.contains(QStringLiteral("a_good.jpg")));
    EXPECT_EQ(englishIn(report,
                        {folder.path(), QStringLiteral("b_cut.jpg"), QStringLiteral("c_empty.jpg"),
                         QStringLiteral("d_text.jpg")}),
              "")
        << report.toStdString();
}
