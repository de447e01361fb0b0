#include "imaging/PictureLoader.h"

#include <QGuiApplication>
#include <QLocale>
#include <gtest/gtest.h>

// The unit tests need no window, only an application object for fonts, images
// and events, on the offscreen platform unless told otherwise. The name, the
// locale and the image readers' limit are the program's own, as its start-up sets them.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("zavio"));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    zavio::configureImageReaders();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
