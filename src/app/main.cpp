#include "app/ErrorReport.h"
#include "app/Startup.h"
#include "app/Windows.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        zavio::prepareApplication(app);
        const auto windows = zavio::createWindows();
        windows->Form1->show();
        return app.exec();
    } catch (const std::exception& error) {
        // A failure while starting is shown, and the program ends normally.
        QMessageBox::critical(nullptr, QStringLiteral("ザヴィオ"), zavio::errorText(error));
    }
    return 0;
}
