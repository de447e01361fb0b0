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

void CanvasImage::setCanvas(const TBitmap& canvas)
{
    canvas_ = canvas;
    update();
}

void CanvasImage::fillCanvas(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    if (canvas_.width() != width() || canvas_.height() != height())
        canvas_ = TBitmap(width(), height());
    canvas_.fill(red, green, blue);
    update();
}

void CanvasImage::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (canvas_.isEmpty())
        painter.fillRect(event->rect(), palette().window());
    else
        painter.drawImage(event->rect().topLeft(), canvas_.image(), event->rect());
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
