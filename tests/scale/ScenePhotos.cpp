#include "ScenePhotos.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cmath>

namespace zavio::fixtures {
namespace {

// A ridge line across the picture: the sum of a few sines, seeded.
QPainterPath ridge(QRandomGenerator& random, qreal width, qreal height, qreal base, qreal amplitude)
{
    const qreal a = random.bounded(1.0) * 6.28, b = random.bounded(1.0) * 6.28;
    QPainterPath path(QPointF(0, height));
    for (int i = 0; i <= 200; ++i) {
        const qreal x = width * i / 200.0;
        const qreal t = x / width;
        const qreal y = base
            - amplitude
                * (0.55 * std::sin(t * 7.1 + a) + 0.3 * std::sin(t * 17.3 + b) + 0.15 * std::sin(t * 41.0 + a * b));
        path.lineTo(x, y);
    }
    path.lineTo(width, height);
    path.closeSubpath();
    return path;
}

void hillsAtDusk(QPainter& p, QRandomGenerator& random, qreal w, qreal h)
{
    QLinearGradient sky(0, 0, 0, h * 0.7);
    sky.setColorAt(0, QColor(38, 52, 120));
    sky.setColorAt(0.55, QColor(214, 110, 96));
    sky.setColorAt(1, QColor(252, 190, 110));
    p.fillRect(QRectF(0, 0, w, h), sky);
    QRadialGradient sun(QPointF(w * 0.68, h * 0.52), h * 0.16);
    sun.setColorAt(0, QColor(255, 244, 200));
    sun.setColorAt(0.35, QColor(255, 220, 150));
    sun.setColorAt(1, QColor(255, 200, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(w * 0.68, h * 0.52), h * 0.16, h * 0.16);
    const QColor hills[] = {QColor(118, 86, 120), QColor(74, 70, 96), QColor(44, 58, 52), QColor(26, 40, 30)};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(hills[i]);
        p.drawPath(ridge(random, w, h, h * (0.55 + 0.1 * i), h * (0.08 + 0.02 * i)));
    }
    // Fir trees on the nearest hill.
    p.setBrush(QColor(14, 26, 18));
    for (int i = 0; i < 40; ++i) {
        const qreal x = random.bounded(w), size = h * (0.04 + random.bounded(0.06));
        const qreal y = h * (0.86 + random.bounded(0.1));
        const QPointF tree[] = {{x, y - size * 2}, {x - size * 0.45, y}, {x + size * 0.45, y}};
        p.drawPolygon(tree, 3);
    }
}

void cityAtNight(QPainter& p, QRandomGenerator& random, qreal w, qreal h)
{
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(8, 10, 32));
    sky.setColorAt(1, QColor(52, 40, 78));
    p.fillRect(QRectF(0, 0, w, h), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 150; ++i) {
        p.setBrush(QColor(255, 255, 230, 90 + random.bounded(160)));
        p.drawEllipse(QPointF(random.bounded(w), random.bounded(h * 0.5)), 1.2, 1.2);
    }
    qreal x = -random.bounded(w * 0.05);
    while (x < w) {
        const qreal bw = w * (0.05 + random.bounded(0.09));
        const qreal bh = h * (0.25 + random.bounded(0.5));
        const QRectF building(x, h - bh, bw, bh);
        p.setBrush(QColor(22 + random.bounded(20), 24 + random.bounded(20), 36 + random.bounded(24)));
        p.drawRect(building);
        // Lit and dark windows in rows: the finest detail of the set.
        const qreal step = std::max<qreal>(6, w / 160.0);
        for (qreal wy = building.top() + step; wy < h - step; wy += step * 1.6)
            for (qreal wx = building.left() + step * 0.6; wx < building.right() - step; wx += step * 1.3)
                if (random.bounded(3) != 0) {
                    p.setBrush(QColor(250, 210 + random.bounded(40), 120 + random.bounded(80)));
                    p.drawRect(QRectF(wx, wy, step * 0.7, step * 0.9));
                }
        x += bw + w * 0.004;
    }
}

void flowers(QPainter& p, QRandomGenerator& random, qreal w, qreal h)
{
    QLinearGradient ground(0, 0, 0, h);
    ground.setColorAt(0, QColor(90, 140, 70));
    ground.setColorAt(1, QColor(30, 70, 30));
    p.fillRect(QRectF(0, 0, w, h), ground);
    p.setPen(Qt::NoPen);
    // Blurred light in the background.
    for (int i = 0; i < 30; ++i) {
        const QPointF c(random.bounded(w), random.bounded(h * 0.6));
        const qreal r = h * (0.03 + random.bounded(0.06));
        QRadialGradient bokeh(c, r);
        bokeh.setColorAt(0, QColor(230, 250, 200, 120));
        bokeh.setColorAt(1, QColor(230, 250, 200, 0));
        p.setBrush(bokeh);
        p.drawEllipse(c, r, r);
    }
    const QColor petals[] = {QColor(236, 90, 130), QColor(250, 200, 60), QColor(255, 250, 250), QColor(200, 90, 220)};
    for (int i = 0; i < 26; ++i) {
        const QPointF c(random.bounded(w), h * (0.3 + random.bounded(0.7)));
        const qreal r = h * (0.03 + random.bounded(0.05));
        p.setPen(QPen(QColor(40, 100, 40), std::max<qreal>(2, r * 0.12)));
        p.drawLine(c, QPointF(c.x() + random.bounded(r) - r / 2, h));
        p.setPen(QPen(QColor(0, 0, 0, 60), 1));
        p.setBrush(petals[random.bounded(4)]);
        for (int k = 0; k < 8; ++k) {
            p.save();
            p.translate(c);
            p.rotate(k * 45.0);
            p.drawEllipse(QRectF(r * 0.15, -r * 0.22, r, r * 0.44));
            p.restore();
        }
        p.setBrush(QColor(250, 180, 30));
        p.drawEllipse(c, r * 0.25, r * 0.25);
    }
}

void beach(QPainter& p, QRandomGenerator& random, qreal w, qreal h)
{
    QLinearGradient sky(0, 0, 0, h * 0.45);
    sky.setColorAt(0, QColor(70, 140, 220));
    sky.setColorAt(1, QColor(190, 225, 245));
    p.fillRect(QRectF(0, 0, w, h * 0.45), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor(255, 255, 255, 200));
        const QPointF c(random.bounded(w), h * (0.08 + random.bounded(0.2)));
        for (int k = 0; k < 5; ++k)
            p.drawEllipse(c + QPointF(k * h * 0.04, (k % 2) * h * 0.01), h * 0.05, h * 0.03);
    }
    QLinearGradient sea(0, h * 0.45, 0, h * 0.7);
    sea.setColorAt(0, QColor(20, 90, 150));
    sea.setColorAt(1, QColor(60, 170, 180));
    p.fillRect(QRectF(0, h * 0.45, w, h * 0.25), sea);
    p.setPen(QPen(QColor(230, 245, 250, 180), std::max<qreal>(1.5, h / 400.0)));
    for (int i = 0; i < 60; ++i) {
        const qreal y = h * (0.47 + random.bounded(0.22));
        const qreal x = random.bounded(w);
        p.drawLine(QPointF(x, y), QPointF(x + w * (0.02 + random.bounded(0.05)), y));
    }
    QLinearGradient sand(0, h * 0.7, 0, h);
    sand.setColorAt(0, QColor(236, 214, 170));
    sand.setColorAt(1, QColor(200, 170, 120));
    p.setPen(Qt::NoPen);
    p.fillRect(QRectF(0, h * 0.7, w, h * 0.3), sand);
    // A parasol with its stripes.
    const QPointF top(w * 0.3, h * 0.6);
    p.setPen(QPen(QColor(90, 70, 50), std::max<qreal>(2, h / 150.0)));
    p.drawLine(top, QPointF(w * 0.31, h * 0.92));
    p.setPen(Qt::NoPen);
    for (int k = 0; k < 8; ++k) {
        p.setBrush(k % 2 ? QColor(230, 60, 60) : QColor(250, 250, 245));
        p.drawPie(QRectF(top.x() - h * 0.18, top.y() - h * 0.1, h * 0.36, h * 0.2), 16 * (k * 22.5), 16 * 22.5);
    }
}

void shrineGate(QPainter& p, QRandomGenerator& random, qreal w, qreal h)
{
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(150, 190, 230));
    sky.setColorAt(1, QColor(235, 235, 225));
    p.fillRect(QRectF(0, 0, w, h), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 100, 60));
    p.drawPath(ridge(random, w, h, h * 0.6, h * 0.12));
    p.fillRect(QRectF(0, h * 0.82, w, h * 0.18), QColor(150, 140, 125));
    // Stones of the path.
    for (int i = 0; i < 80; ++i) {
        p.setBrush(QColor(110 + random.bounded(60), 105 + random.bounded(50), 95 + random.bounded(40)));
        p.drawEllipse(QPointF(random.bounded(w), h * (0.84 + random.bounded(0.16))), w * 0.02, h * 0.008);
    }
    const QColor red(200, 50, 30);
    const qreal left = w * 0.28, right = w * 0.72, post = w * 0.04;
    p.setBrush(red);
    p.drawRect(QRectF(left, h * 0.3, post, h * 0.55));
    p.drawRect(QRectF(right - post, h * 0.3, post, h * 0.55));
    p.drawRect(QRectF(left - w * 0.04, h * 0.36, right - left + w * 0.08, h * 0.04));
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(QRectF(left - w * 0.08, h * 0.22, right - left + w * 0.16, h * 0.05));
    // The sign between the beams, with its name.
    const QRectF sign(w * 0.45, h * 0.27, w * 0.1, h * 0.1);
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(sign);
    QFont font;
    font.setPixelSize(int(sign.height() * 0.38));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(240, 200, 90));
    p.drawText(sign, Qt::AlignCenter, QStringLiteral("稲荷\n神社"));
}

void snowyPeaks(QPainter& p, QRandomGenerator& random, qreal w, qreal h)
{
    QLinearGradient sky(0, 0, 0, h * 0.6);
    sky.setColorAt(0, QColor(30, 90, 180));
    sky.setColorAt(1, QColor(170, 205, 235));
    p.fillRect(QRectF(0, 0, w, h), sky);
    p.setPen(Qt::NoPen);
    // Peaks with snow above a line, and a lake that mirrors them.
    for (int i = 0; i < 3; ++i) {
        const qreal peak = w * (0.2 + 0.3 * i + random.bounded(0.1));
        const qreal top = h * (0.12 + random.bounded(0.15));
        const qreal half = w * (0.22 + random.bounded(0.1));
        const QPointF rock[] = {{peak, top}, {peak - half, h * 0.62}, {peak + half, h * 0.62}};
        p.setBrush(QColor(92 - 12 * i, 96 - 10 * i, 110 - 8 * i));
        p.drawPolygon(rock, 3);
        const qreal snow = 0.35;
        const QPointF cap[] = {{peak, top},
                               {peak - half * snow, top + (h * 0.62 - top) * snow},
                               {peak - half * snow * 0.4, top + (h * 0.62 - top) * snow * 0.8},
                               {peak, top + (h * 0.62 - top) * snow},
                               {peak + half * snow * 0.5, top + (h * 0.62 - top) * snow * 0.75},
                               {peak + half * snow, top + (h * 0.62 - top) * snow}};
        p.setBrush(QColor(248, 250, 255));
        p.drawPolygon(cap, 6);
    }
    p.setBrush(QColor(40, 80, 50));
    p.drawPath(ridge(random, w, h, h * 0.64, h * 0.03));
    QLinearGradient lake(0, h * 0.68, 0, h);
    lake.setColorAt(0, QColor(80, 130, 170));
    lake.setColorAt(1, QColor(20, 50, 80));
    p.fillRect(QRectF(0, h * 0.68, w, h * 0.32), lake);
    p.setPen(QPen(QColor(220, 235, 245, 120), 1.5));
    for (int i = 0; i < 50; ++i) {
        const qreal y = h * (0.7 + random.bounded(0.3)), x = random.bounded(w);
        p.drawLine(QPointF(x, y), QPointF(x + w * 0.03, y));
    }
}

} // namespace

QImage scenePhoto(int index, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(quint32(1000 + index));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal w = width, h = height;
        switch (index % 6) {
        case 0:
            hillsAtDusk(painter, random, w, h);
            break;
        case 1:
            cityAtNight(painter, random, w, h);
            break;
        case 2:
            flowers(painter, random, w, h);
            break;
        case 3:
            beach(painter, random, w, h);
            break;
        case 4:
            shrineGate(painter, random, w, h);
            break;
        default:
            snowyPeaks(painter, random, w, h);
            break;
        }
    }
    // Film grain.
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(13)) - 6;
            const QRgb c = row[x];
            row[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                          std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return image;
}

} // namespace zavio::fixtures
