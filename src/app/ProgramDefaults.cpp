#include "app/ProgramDefaults.h"

#include "imaging/PictureLoader.h"

#include <QCoreApplication>
#include <QLocale>

namespace zavio {

void applyProgramDefaults()
{
    QCoreApplication::setApplicationName(QStringLiteral("zavio"));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    configureImageReaders();
}

} // namespace zavio
