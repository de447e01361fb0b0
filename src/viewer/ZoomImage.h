#pragma once

#include "viewer/ZoomLevels.h"

#include <QWidget>

namespace zavio {

class TBitmap;

// The zoom window's picture: always drawn stretched to the widget's own size,
// at the resolution of the screen's device pixels. A paint draws only the
// exposed part, scaled smoothly from the nearest copy of ZoomLevels, so a zoom
// step costs a resize and the pixels on the screen.
class ZoomImage : public QWidget {
    Q_OBJECT

public:
    explicit ZoomImage(QWidget* parent = nullptr);

    // Shows bitmap (sharing its pixels); an empty bitmap shows nothing.
    void setPicture(const TBitmap& bitmap);
    void clearPicture();
    bool hasPicture() const { return !levels_.isEmpty(); }

signals:
    void pressed(Qt::MouseButton button);
    void released();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    ZoomLevels levels_;
};

} // namespace zavio
