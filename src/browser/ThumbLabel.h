#pragma once

#include <QLabel>

namespace zavio {

// The file name under a thumbnail: one line in a 14-pixel-high box. The text
// sits one pixel higher than a plain label would put it, so that underscores
// and the whole height of Japanese characters stay inside the box. A name
// wider than the box is drawn shortened in the middle with "…", so that its
// beginning and its extension stay in sight; the whole name remains the
// label's text and is its tooltip.
class ThumbLabel : public QLabel {
    Q_OBJECT

public:
    ThumbLabel(const QString& objectName, QWidget* parent);

    // Sets the name shown, and the tooltip that a shortened name needs.
    void setName(const QString& name);
    // The text as drawn in the box.
    QString shownText() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateToolTip();
};

} // namespace zavio
