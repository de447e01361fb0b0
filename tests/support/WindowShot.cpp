#include "support/WindowShot.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace zavio::fixtures {

void saveWindowShot(QWidget* window, const QString& path)
{
    // Drawn at the screen's device pixels, as a scaled screen shows the window,
    // over the window's colour: a pixel no widget paints offscreen (the corner
    // between a list's scroll bars) then shows what the screen shows there.
    const qreal ratio = window->devicePixelRatioF();
    QPixmap client(window->size() * ratio);
    client.setDevicePixelRatio(ratio);
    client.fill(window->palette().color(QPalette::Window));
    window->render(&client);
    const QSize clientSize = client.deviceIndependentSize().toSize();
    const QFont font = QApplication::font();
    const int titleHeight = QFontMetrics(font).height() + 10;
    QPixmap shot((QSizeF(clientSize.width() + 2, clientSize.height() + titleHeight + 1) * ratio).toSize());
    shot.setDevicePixelRatio(ratio);
    shot.fill(QColor(96, 96, 110));
    QPainter painter(&shot);
    painter.fillRect(QRect(1, 1, clientSize.width(), titleHeight - 1), QColor(52, 72, 120));
    painter.setPen(Qt::white);
    painter.setFont(font);
    painter.drawText(QRect(8, 1, clientSize.width() - 12, titleHeight - 1), Qt::AlignVCenter | Qt::AlignLeft,
                     window->windowTitle());
    // The client at whole device pixels, copied unscaled.
    QPixmap devicePixels = client;
    devicePixels.setDevicePixelRatio(1);
    painter.setTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    painter.drawPixmap(qRound(ratio), qRound(titleHeight * ratio), devicePixels);
    painter.end();
    shot.save(path);
}

} // namespace zavio::fixtures
