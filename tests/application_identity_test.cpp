#include "app/Windows.h"
#include "ProjectInfo.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <gtest/gtest.h>

using namespace zavio;

// The start-up that every test runs through (test_main) names the desktop
// entry and gives the windows the program's icon.
TEST(Application, NamesItsDesktopEntryAndCarriesItsIcon)
{
    // The id of the installed entry, icon and metadata; reverse DNS without hyphens.
    EXPECT_EQ(QGuiApplication::desktopFileName().toStdString(), "io.github.zavioproject.Zavio");
    EXPECT_STREQ(ZAVIO_APP_ID, "io.github.zavioproject.Zavio");

    const QIcon icon = QGuiApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(image.size(), QSize(size, size)) << size;
        // Drawn, not blank: the frame's dark slate at the middle of the left edge.
        EXPECT_EQ(image.pixelColor(size / 8, size / 2).name().toStdString(), "#37474f") << size;
    }

    const auto windows = createWindows();
    EXPECT_FALSE(windows->Form1->windowIcon().isNull());
    EXPECT_FALSE(windows->Form7->windowIcon().isNull());
}

// The caption keeps its text, with the project's one version number in it.
TEST(Application, MainWindowTitleCarriesTheProjectVersion)
{
    const auto windows = createWindows();
    EXPECT_EQ(windows->Form1->windowTitle().toStdString(), "ザヴィオ\u3000Ver " ZAVIO_VERSION " Zavio Project");
}
