#include "browser/ThumbLabel.h"

#include <QMouseEvent>
#include <QPainter>

namespace zavio {

ThumbLabel::ThumbLabel(const QString& objectName, QWidget* parent) : QLabel(parent)
{
    setObjectName(objectName);
    setTextFormat(Qt::PlainText);
}

void ThumbLabel::setName(const QString& name)
{
    setText(name);
    updateToolTip();
}

QString ThumbLabel::shownText() const
{
    // Shortened in the middle, not at the end, so that the extension and the
    // numbers that tell "..._001.jpg" from "..._002.jpg" stay in sight.
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, width());
}

void ThumbLabel::updateToolTip()
{
    setToolTip(shownText() == text() ? QString() : text());
}

void ThumbLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(0, fontMetrics().ascent() - 1, shownText());
}

void ThumbLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void ThumbLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ThumbLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateToolTip();
}

} // namespace zavio
