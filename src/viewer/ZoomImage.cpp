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
    const QImage& source = levels_.levelFor(size());
    const double scaleX = double(source.width()) / width();
    const double scaleY = double(source.height()) / height();
    const QRectF from(exposed.x() * scaleX, exposed.y() * scaleY, exposed.width() * scaleX,
        exposed.height() * scaleY);
    if (source.size() != size())
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(exposed), source, from);
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
