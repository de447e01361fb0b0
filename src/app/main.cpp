#include "app/ErrorReport.h"
#include "app/Startup.h"
#include "browser/TForm1.h"

#include <QApplication>
#include <QMessageBox>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        zavio::prepareApplication(app);
        // The windows, made once in a fixed order, the main window first.
        auto Form1 = std::make_unique<zavio::TForm1>();
        Form1->show();
        return app.exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("ザヴィオ"), zavio::errorText(error));
    }
    return 0;
}
