#include "app/Startup.h"
#include "common/ErrorReport.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

// The screen-scale tests: the same tests run once for each scale factor that
// ctest sets in QT_SCALE_FACTOR, which Qt reads when the application starts.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (const QString shots = qEnvironmentVariable("ZAVIO_SHOTS"); !shots.isEmpty())
        qputenv("ZAVIO_SHOTS", QDir(shots).absolutePath().toLocal8Bit());
    QApplication app(argc, argv);
    zavio::prepareApplication(app);
    zavio::setErrorReporter([](const QString& message) {
        ADD_FAILURE() << "unexpected error report: " << message.toStdString();
    });
    zavio::setProgramEnder([](int status) { ADD_FAILURE() << "unexpected end of the program, status " << status; });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
