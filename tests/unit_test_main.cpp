#include "app/ProgramDefaults.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

// The unit tests need no window, only an application object for fonts, images
// and events, on the offscreen platform unless told otherwise, with the
// program's own defaults.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    zavio::applyProgramDefaults();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
