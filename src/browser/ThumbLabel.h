#pragma once

#include <QLabel>

namespace zavio {

// The file name under a thumbnail: one line in a 14-pixel-high box. The text
// sits one pixel higher than a plain label would put it, so that underscores
// and the whole height of Japanese characters stay inside the box; a name
// wider than the box is cut off at its right edge.
class ThumbLabel : public QLabel {
    Q_OBJECT

public:
    ThumbLabel(const QString& objectName, QWidget* parent);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace zavio
