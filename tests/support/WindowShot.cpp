#include "support/WindowShot.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace zavio::fixtures {

void saveWindowShot(QWidget* window, const QString& path)
{
    const QPixmap client = window->grab();
    const QFont font = QApplication::font();
    const int titleHeight = QFontMetrics(font).height() + 10;
    QPixmap shot(client.width() + 2, client.height() + titleHeight + 1);
    shot.fill(QColor(96, 96, 110));
    QPainter painter(&shot);
    painter.fillRect(QRect(1, 1, client.width(), titleHeight - 1), QColor(52, 72, 120));
    painter.setPen(Qt::white);
    painter.setFont(font);
    painter.drawText(QRect(8, 1, client.width() - 12, titleHeight - 1), Qt::AlignVCenter | Qt::AlignLeft,
        window->windowTitle());
    painter.drawPixmap(1, titleHeight, client);
    painter.end();
    shot.save(path);
}

} // namespace zavio::fixtures
