#include "common/CanvasImage.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

namespace zavio {

CanvasImage::CanvasImage(const QString& objectName, QWidget* parent) : QWidget(parent)
{
    setObjectName(objectName);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize CanvasImage::deviceSize() const
{
    return size() * devicePixelRatioF();
}

void CanvasImage::setCanvas(const TBitmap& canvas)
{
    canvas_ = canvas;
    shown_ = canvas_.image();
    const QSize device = deviceSize();
    if (!shown_.isNull() && shown_.size() == device && device != size())
        shown_.setDevicePixelRatio(devicePixelRatioF());
    update();
}

void CanvasImage::fillCanvas(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    const QSize device = deviceSize();
    // The canvas's own pixels are reused when it already has the size.
    TBitmap filled = canvas_.width() == device.width() && canvas_.height() == device.height()
        ? std::move(canvas_)
        : TBitmap(device.width(), device.height());
    shown_ = QImage();
    filled.fill(red, green, blue);
    setCanvas(filled);
}

void CanvasImage::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    const QSizeF covered = shown_.deviceIndependentSize();
    if (shown_.isNull() || covered.width() < width() || covered.height() < height())
        painter.fillRect(exposed, palette().window());
    if (shown_.isNull())
        return;
    // A canvas at the screen's own resolution is copied unscaled; one made at
    // layout size on a scaled screen is enlarged without blocky steps.
    if (shown_.devicePixelRatio() != devicePixelRatioF())
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(0, 0), shown_);
}

void CanvasImage::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void CanvasImage::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        emit clicked();
}

namespace {

class CanvasImageAccessible : public QAccessibleWidget {
public:
    explicit CanvasImageAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Graphic) {}
};

QAccessibleInterface* canvasImageFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("zavio::CanvasImage") && object && object->isWidgetType())
        return new CanvasImageAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void CanvasImage::registerAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(canvasImageFactory);
        return true;
    }();
    (void)installed;
}

} // namespace zavio
