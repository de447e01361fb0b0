#include "app/Startup.h"

#include "common/CanvasImage.h"
#include "imaging/PictureLoader.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// The resources live in a static library, so their registration is pulled in
// by hand.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace zavio {

void applyJapaneseFont(QApplication& app)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(15);
    app.setFont(font);
}

void prepareApplication(QApplication& app)
{
    app.setApplicationName(QStringLiteral("zavio"));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    // Qt's own texts (message-box buttons, file dialogs) in Japanese.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);

    initResources();
    applyJapaneseFont(app);
    configureImageReaders();
    CanvasImage::registerAccessibility();
}

} // namespace zavio
