#include "common/ErrorReport.h"
#include "app/Startup.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

// Widget tests need an application object; they draw offscreen unless told otherwise.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests change the current folder as the main window does, so a relative
    // screenshot folder is fixed to where the run started.
    if (const QString shots = qEnvironmentVariable("ZAVIO_SHOTS"); !shots.isEmpty())
        qputenv("ZAVIO_SHOTS", QDir(shots).absolutePath().toLocal8Bit());
    QApplication app(argc, argv);
    zavio::prepareApplication(app);
    // An error report no test asked for fails that test instead of waiting on a message box.
    zavio::setErrorReporter(
        [](const QString& message) { ADD_FAILURE() << "unexpected error report: " << message.toStdString(); });
    zavio::setProgramEnder([](int status) { ADD_FAILURE() << "unexpected end of the program, status " << status; });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
