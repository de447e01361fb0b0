#include "app/ErrorReport.h"
#include "app/Startup.h"

#include <QApplication>
#include <gtest/gtest.h>

// Widget tests need an application object; they draw offscreen unless told otherwise.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zavio::prepareApplication(app);
    // An error report no test asked for fails that test instead of waiting on a message box.
    zavio::setErrorReporter([](const QString& message) {
        ADD_FAILURE() << "unexpected error report: " << message.toStdString();
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
