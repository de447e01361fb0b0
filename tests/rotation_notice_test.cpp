#include "rotation/RotationNotice.h"

#include <gtest/gtest.h>

using namespace zavio;

// The notice the rotation window opens with, from what its loading came to.
TEST(RotationNotice, SaysWhyAPictureCannotBeTurned)
{
    const QString jpeg =
        QStringLiteral("拡張子が .jpeg の画像は回転できません。.jpg の名前で保存し直すと回転できます。");
    const QString not24 = QStringLiteral("画像ファイルが24ビットbmpでありません.");
    const QString grey = QStringLiteral("この画像の形式には対応していません。");

    EXPECT_TRUE(rotationNotice({.decoded = true, .nameAccepted = true, .held24Bit = true}).isEmpty());
    EXPECT_EQ(rotationNotice({.decoded = true, .nameAccepted = true, .held24Bit = true, .greyPassMessage = grey}),
              grey);
    // A decoded ".jpeg" is previewed, never held.
    EXPECT_EQ(rotationNotice({.decoded = true, .nameAccepted = false}), jpeg);
    // A picture that is not held as 24-bit, also one that could not be
    // decoded whatever its name; the decode error is told after it.
    EXPECT_EQ(rotationNotice({.decoded = true, .nameAccepted = true, .held24Bit = false}), not24);
    EXPECT_EQ(rotationNotice({.decoded = false, .nameAccepted = true}), not24);
    EXPECT_EQ(rotationNotice({.decoded = false, .nameAccepted = false}), not24);
    EXPECT_EQ(rotationNotice({.decoded = true, .nameAccepted = true, .held24Bit = false, .greyPassMessage = grey}),
              not24);
}
