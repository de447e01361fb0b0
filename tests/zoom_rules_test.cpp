// The zoom window's rules without the window: opening sizes, captions, the
// factor's limits, the scroll bars and the halved copies it draws from.
#include "viewer/ZoomLevels.h"
#include "viewer/ZoomRules.h"

#include <QColor>
#include <QImage>
#include <gtest/gtest.h>

using namespace zavio;

namespace {

const QSize kScreen1280(1280, 1024);

} // namespace

TEST(ZoomRules, OpeningSizesAndCaptions)
{
    struct Case {
        int w, h;
        QSize client;
    };
    const Case cases[] = {
        {1200, 900, {1000, 749}},
        {1024, 768, {1000, 749}},
        {2000, 1500, {1000, 749}},
        {3000, 2000, {1000, 666}},
        {1200, 1600, {525, 700}},
        {600, 1000, {420, 700}},
        {800, 600, {800, 600}},
        {1010, 500, {1010, 500}},
        {1011, 500, {1000, 494}},
        {500, 755, {500, 755}},
        {500, 756, {462, 700}},
        {755, 755, {755, 755}},
        // Square pictures take the landscape rule.
        {900, 900, {900, 900}},
        {1200, 1200, {1000, 1000}},
        {4000, 3000, {1000, 749}},
        {1, 1, {1, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(openingClientSize(c.w, c.h), c.client) << c.w << "x" << c.h;

    EXPECT_EQ(openingCaption(1200, 900, QStringLiteral("a.jpg")), QStringLiteral("可変表示・元サイズ＝1200*900 a.jpg"));
    EXPECT_EQ(openingCaption(300, 200, QStringLiteral("a.jpg")), QStringLiteral("サイズ＝300*200"));
    EXPECT_EQ(openingCaption(349, 800, QStringLiteral("b.jpg")), QStringLiteral("サイズ＝349*800"));
    EXPECT_EQ(openingCaption(350, 350, QStringLiteral("c.jpg")), QStringLiteral("可変表示・元サイズ＝350*350 c.jpg"));
    EXPECT_EQ(zoomedCaption(149, 300), QStringLiteral("149*300"));
    EXPECT_EQ(zoomedCaption(150, 150), QStringLiteral("Size=150*150"));
    EXPECT_EQ(zoomedCaption(100, 74), QStringLiteral("100*74"));

    // A side exactly as large as the screen gets a scroll bar, so its far edge stays reachable.
    const ZoomLayout edge = zoomLayout(QSize(640, 500), 20, kScreen1280);
    EXPECT_EQ(edge.image, QSize(1280, 1000));
    EXPECT_FALSE(edge.followsWidth());
    EXPECT_TRUE(edge.horizontalBar);
    EXPECT_EQ(zoomLayout(QSize(640, 979), 10, kScreen1280).verticalBar, true);
    EXPECT_EQ(zoomLayout(QSize(640, 978), 10, kScreen1280).verticalBar, false);
}

TEST(ZoomRules, FactorLimits)
{
    ZoomFactor wide;
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(wide.reduce(1000));
    EXPECT_EQ(wide.tenths(), 1);
    EXPECT_FALSE(wide.reduce(1000));
    for (int i = 0; i < 19; ++i)
        EXPECT_TRUE(wide.enlarge());
    EXPECT_EQ(wide.tenths(), 20);
    EXPECT_FALSE(wide.enlarge());

    ZoomFactor narrow;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(narrow.reduce(410));
    EXPECT_EQ(narrow.tenths(), 5);
    EXPECT_FALSE(narrow.reduce(410));
    EXPECT_TRUE(narrow.reduce(411)) << "a wider base goes on down";
}

TEST(ZoomLevels, HalvedCopiesAverageTheirBlocks)
{
    QImage source(5, 3, QImage::Format_BGR888);
    source.fill(Qt::black);
    source.setPixelColor(0, 0, QColor(200, 100, 40));
    source.setPixelColor(1, 1, QColor(40, 100, 200));
    const QImage half = halveImage(source);
    ASSERT_EQ(half.size(), QSize(2, 1));
    EXPECT_EQ(half.pixel(0, 0), qRgb(60, 50, 60));
    EXPECT_EQ(half.pixel(1, 0), qRgb(0, 0, 0));

    ZoomLevels levels;
    levels.setPicture(QImage(4000, 3000, QImage::Format_BGR888));
    EXPECT_EQ(levels.level(1).size(), QSize(2000, 1500));
    EXPECT_EQ(levels.levelFor(QSize(1000, 749)).size(), QSize(1000, 750));
    EXPECT_EQ(levels.levelFor(QSize(1001, 749)).size(), QSize(2000, 1500));
    EXPECT_EQ(levels.levelFor(QSize(8000, 6000)).size(), QSize(4000, 3000));
    EXPECT_EQ(levels.levelFor(QSize(1, 1)).width(), levels.level(levels.levelCount() - 1).width());
}
