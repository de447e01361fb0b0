#include "app/DesktopSession.h"
#include "app/Startup.h"
#include "app/Windows.h"
#include "common/ErrorReport.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    // Said plainly here, as Qt itself would end with advice to reinstall.
    if (const auto missing = zavio::missingDesktopSession(zavio::DesktopSession::ofProcess(argc, argv))) {
        std::fprintf(stderr, "%s\n", missing->c_str());
        return 1;
    }
    zavio::keepFromStartingSessionBus();
    // Native Wayland where there is a Wayland display, and the session's
    // input method, unless the user has chosen otherwise.
    zavio::applySessionPreferences(argc, argv);
    QApplication app(argc, argv);
    int status = 0;
    // Whatever escapes start-up or the event loop is shown, and the program
    // then ends normally.
    zavio::runReportingErrors(nullptr, [&] {
        zavio::prepareApplication(app);
        const auto windows = zavio::createWindows();
        windows->Form1->show();
        status = app.exec();
    });
    return status;
}
