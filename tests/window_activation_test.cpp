#include "common/WindowActivation.h"
#include "support/CapturedErrors.h"

#include <QDialog>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace zavio;
using zavio::fixtures::CapturedErrors;

namespace {

void activate(QWidget& window)
{
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == window.windowHandle(); }, 2000));
}

} // namespace

TEST(WindowActivation, RunsOnEveryShowingOrOncePerActivation)
{
    QDialog shownWindow;
    int shown = 0;
    WindowActivation onShow(shownWindow, WindowActivation::Moment::Shown, [&] { ++shown; });
    shownWindow.show();
    shownWindow.hide();
    shownWindow.show();
    EXPECT_EQ(shown, 2);

    QDialog a, b;
    int activations = 0;
    WindowActivation onActive(a, WindowActivation::Moment::Activated, [&] { ++activations; });
    a.show();
    b.show();
    activate(b);
    activations = 0;
    activate(a);
    EXPECT_EQ(activations, 1);
    a.activateWindow();
    QTest::qWait(20);
    EXPECT_EQ(activations, 1) << "an active window is not activated again";
    activate(b);
    activate(a);
    EXPECT_EQ(activations, 2);
}

TEST(WindowActivation, AModalOpeningStepDecidesWhetherTheWindowOpens)
{
    QDialog window;
    bool answer = false;
    bool throws = false;
    WindowActivation opening(window, WindowActivation::Moment::ModalOpening, [&] {
        if (throws)
            throw std::runtime_error("broken");
        return answer;
    });
    CapturedErrors errors;
    EXPECT_FALSE(opening.openModal());
    EXPECT_TRUE(errors.messages.isEmpty());
    throws = true;
    EXPECT_FALSE(opening.openModal());
    EXPECT_EQ(errors.messages.size(), 1) << "a throwing step is told once";
    throws = false;
    answer = true;
    bool placed = false;
    QTimer::singleShot(0, &window, [&] {
        EXPECT_TRUE(window.isVisible());
        window.close();
    });
    EXPECT_TRUE(opening.openModal([&] { placed = true; }));
    EXPECT_TRUE(placed);
}
