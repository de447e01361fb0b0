#include "browser/ThumbImage.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

namespace zavio {

ThumbImage::ThumbImage(const QString& objectName, QWidget* parent) : QWidget(parent)
{
    setObjectName(objectName);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ThumbImage::setCanvas(const TBitmap& canvas)
{
    canvas_ = canvas;
    update();
}

void ThumbImage::fillCanvas(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    if (canvas_.width() != width() || canvas_.height() != height())
        canvas_ = TBitmap(width(), height());
    canvas_.fill(red, green, blue);
    update();
}

void ThumbImage::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (canvas_.isEmpty())
        painter.fillRect(event->rect(), palette().window());
    else
        painter.drawImage(event->rect().topLeft(), canvas_.image(), event->rect());
}

void ThumbImage::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void ThumbImage::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        emit clicked();
}

namespace {

class ThumbImageAccessible : public QAccessibleWidget {
public:
    explicit ThumbImageAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Graphic) {}
};

QAccessibleInterface* thumbImageFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("zavio::ThumbImage") && object && object->isWidgetType())
        return new ThumbImageAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void ThumbImage::registerAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(thumbImageFactory);
        return true;
    }();
    (void)installed;
}

} // namespace zavio
