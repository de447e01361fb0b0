#include "viewer/ZoomRules.h"

#include <algorithm>

namespace zavio {
namespace {

constexpr int kFitWidth = 1000;
constexpr int kFitHeight = 700;
constexpr int kLandscapeLimit = 1010;
constexpr int kPortraitLimit = 755;
// The screen height less what the title bar and the desktop's panel take.
constexpr int kScreenHeightAllowance = 45;

} // namespace

QString openingCaption(int width, int height, const QString& name)
{
    if (width < 350 || height < 350)
        return QStringLiteral("サイズ＝%1*%2").arg(width).arg(height);
    return QStringLiteral("可変表示・元サイズ＝%1*%2 %3").arg(width).arg(height).arg(name);
}

QSize openingClientSize(int width, int height)
{
    // The ratio is held in single precision and the fitted side is worked out
    // from it in double, which is what makes 1000 / (4 / 3) come out at 749.
    const float ratio = float(width) / float(height);
    if (ratio >= 1.0f) {
        if (width > kLandscapeLimit)
            return {kFitWidth, int(double(kFitWidth) / double(ratio))};
    } else if (height > kPortraitLimit) {
        return {int(double(kFitHeight) * double(ratio)), kFitHeight};
    }
    return {width, height};
}

bool ZoomFactor::enlarge()
{
    if (tenths_ + 1 > 20)
        return false;
    ++tenths_;
    return true;
}

bool ZoomFactor::reduce(int baseWidth)
{
    const int lowest = baseWidth > 410 ? 1 : 5;
    if (tenths_ - 1 < lowest)
        return false;
    --tenths_;
    return true;
}

ZoomLayout zoomLayout(QSize base, int tenths, QSize screen)
{
    // Sizes in tenths of a pixel keep the comparisons exact; the sizes set
    // are truncated.
    const qint64 zoomedWidth = qint64(base.width()) * tenths;
    const qint64 zoomedHeight = qint64(base.height()) * tenths;
    const qint64 widthLimit = qint64(screen.width()) * 10;
    const qint64 heightLimit = qint64(screen.height() - kScreenHeightAllowance) * 10;

    ZoomLayout layout;
    layout.image = QSize(int(zoomedWidth / 10), int(zoomedHeight / 10));
    layout.horizontalBar = zoomedWidth >= widthLimit;
    layout.verticalBar = zoomedHeight >= heightLimit;
    layout.caption = zoomedCaption(layout.image.width(), layout.image.height());
    return layout;
}

ZoomClient zoomClient(const ZoomLayout& layout, QSize current, QSize room)
{
    const int wanted[2] = {layout.followsWidth() ? layout.image.width() : current.width(),
                           layout.followsHeight() ? layout.image.height() : current.height()};
    const int limit[2] = {std::max(room.width(), 1), std::max(room.height(), 1)};
    ZoomClient client;
    client.size = QSize(std::min(wanted[0], limit[0]), std::min(wanted[1], limit[1]));
    client.limited = wanted[0] > limit[0] || wanted[1] > limit[1];
    client.horizontalBar = layout.horizontalBar || layout.image.width() > client.size.width();
    client.verticalBar = layout.verticalBar || layout.image.height() > client.size.height();
    return client;
}

QString zoomedCaption(int width, int height)
{
    if (width < 150 || height < 150)
        return QStringLiteral("%1*%2").arg(width).arg(height);
    return QStringLiteral("Size=%1*%2").arg(width).arg(height);
}

} // namespace zavio
