#include "viewer/ZoomImage.h"

#include "imaging/TBitmap.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace zavio {

ZoomImage::ZoomImage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Image1"));
    // Every exposed pixel is painted, so Qt need not clear them first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ZoomImage::setPicture(const TBitmap& bitmap)
{
    levels_.setPicture(bitmap.image());
    update();
}

void ZoomImage::clearPicture()
{
    levels_.clear();
    update();
}

void ZoomImage::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    if (levels_.isEmpty() || width() <= 0 || height() <= 0) {
        painter.fillRect(exposed, palette().window());
        return;
    }
    // The picture is scaled to the widget's size on the screen in device
    // pixels, from the copy nearest that size, and drawn one to one onto the
    // device pixels: sharp on a scaled screen, unchanged on an unscaled one.
    const qreal ratio = devicePixelRatioF();
    const QSize device = size() * ratio;
    const QImage& source = levels_.levelFor(device);
    // Rounding may leave part of the last device pixel outside the picture.
    if (device.width() < width() * ratio || device.height() < height() * ratio)
        painter.fillRect(exposed, palette().window());
    const double scaleX = double(source.width()) / device.width();
    const double scaleY = double(source.height()) / device.height();
    const QRect target = QRectF(QPointF(exposed.topLeft()) * ratio, QSizeF(exposed.size()) * ratio)
                             .toAlignedRect()
                             .intersected(QRect(QPoint(0, 0), device));
    if (target.isEmpty())
        return;
    const QRectF from(target.x() * scaleX, target.y() * scaleY, target.width() * scaleX, target.height() * scaleY);
    if (source.size() != device)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (ratio != 1.0)
        painter.setTransform(QTransform::fromScale(1.0 / ratio, 1.0 / ratio));
    painter.drawImage(QRectF(target), source, from);
}

void ZoomImage::mousePressEvent(QMouseEvent* event)
{
    emit pressed(event->button());
}

void ZoomImage::mouseReleaseEvent(QMouseEvent*)
{
    emit released();
}

} // namespace zavio
