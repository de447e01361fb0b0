// Where a window opens over another, reckoned without any window.
#include "common/WindowPlacement.h"

#include <QMargins>
#include <QRect>
#include <gtest/gtest.h>

using namespace zavio;

TEST(WindowPlacement, CentresAFrameOnAnotherInsideTheScreen)
{
    const QRect screen(0, 0, 1024, 768);
    EXPECT_EQ(centredFramePosition({325, 302}, QRect(100, 50, 800, 600), screen), QPoint(337, 199));
    // Kept inside the screen when the other window lies near or beyond its edge.
    EXPECT_EQ(centredFramePosition({325, 302}, QRect(-300, -200, 400, 300), screen), QPoint(0, 0));
    EXPECT_EQ(centredFramePosition({325, 302}, QRect(900, 700, 400, 300), screen), QPoint(1024 - 325, 768 - 302));
    EXPECT_EQ(centredFramePosition({325, 302}, QRect(100, 50, 800, 600), QRect(1024, 0, 1280, 1024)),
              QPoint(1024, 199));
    // Larger than the screen: its top-left corner on the screen's.
    EXPECT_EQ(centredFramePosition({2000, 900}, QRect(0, 0, 1024, 768), screen), QPoint(0, 0));

    // Not yet framed, a window takes the frame of the one it is placed on.
    EXPECT_EQ(framedSize({317, 276}, QMargins(), QMargins(4, 30, 4, 4)), QSize(325, 310));
    EXPECT_EQ(framedSize({317, 276}, QMargins(1, 20, 1, 1), QMargins(4, 30, 4, 4)), QSize(319, 297));
}
