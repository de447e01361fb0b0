#include "common/JapaneseFont.h"

#include <QStringList>

namespace zavio {

QFont japaneseFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace zavio
