#include "viewer/MagnifierCursor.h"

#include <QPixmap>

namespace zavio {

QCursor magnifierCursor()
{
    const QPixmap picture(QStringLiteral(":/zavio/CURSOR1.xpm"));
    if (picture.isNull())
        return QCursor(Qt::CrossCursor);
    return QCursor(picture, 0, 0);
}

} // namespace zavio
