#include "rotation/RotationNotice.h"

namespace zavio {

QString rotationNotice(const RotationLoad& load)
{
    if (load.decoded && !load.nameAccepted)
        return QStringLiteral("拡張子が .jpeg の画像は回転できません。.jpg の名前で保存し直すと回転できます。");
    if (!load.held24Bit)
        return QStringLiteral("画像ファイルが24ビットbmpでありません.");
    return load.greyPassMessage;
}

} // namespace zavio
