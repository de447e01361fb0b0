#include "app/Startup.h"

#include "app/ProgramDefaults.h"
#include "common/CanvasImage.h"
#include "common/JapaneseFont.h"
#include "ProjectInfo.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QProxyStyle>
#include <QTranslator>

// The resources live in a static library, so their registration is pulled in
// by hand.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(icons);
}

namespace zavio {
namespace {

// Qt 6.4's Fusion gives a menu entry a pixel less room than its text needs
// when drawn, and so elides the widest entry of a menu in the middle
// ("右９０度(&R)" showed as "右90…R)"). A little more room keeps each whole.
class WholeMenuEntriesStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_MenuItem)
            result.rwidth() += 2;
        return result;
    }
};

} // namespace

void applyJapaneseFont(QApplication& app)
{
    app.setFont(japaneseFont(15));
}

void prepareApplication(QApplication& app)
{
    applyProgramDefaults();

    // Qt's own texts (message-box buttons, file dialogs) in Japanese.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);

    initResources();
    // The desktop matches the windows to the installed entry by this name (on
    // Wayland it is the app id); the icon is also the windows' own.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZAVIO_APP_ID));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/zavio-%1.png").arg(size), QSize(size, size));
    app.setWindowIcon(icon);
    // The application owns the style; it wraps the platform's own.
    app.setStyle(new WholeMenuEntriesStyle);
    applyJapaneseFont(app);
    CanvasImage::registerAccessibility();
}

} // namespace zavio
