#pragma once

#include "imaging/TBitmap.h"

#include <QWidget>

namespace zavio {

// A picture control (a thumbnail cell, the comment viewer's picture, the
// rotation preview): it draws its own canvas, a bitmap of its size that keeps
// what was drawn into it, and reports clicks. Assistive technology sees it as
// a graphic named after the file it shows.
//
// The control's size on the screen is its size in device pixels: a canvas of
// that size is painted one canvas pixel to one device pixel at any screen
// scale, so what is drawn into it stays sharp.
class CanvasImage : public QWidget {
    Q_OBJECT

public:
    CanvasImage(const QString& objectName, QWidget* parent);

    const TBitmap& canvas() const { return canvas_; }
    // The control's size in device pixels: its size times the screen's pixel
    // ratio, rounded as Qt rounds the window's backing store.
    QSize deviceSize() const;
    // Replaces the canvas and repaints. A canvas of deviceSize() covers the
    // control pixel for device pixel; any other size is shown at one canvas
    // pixel per layout pixel, scaled smoothly where the screen is scaled.
    void setCanvas(const TBitmap& canvas);
    // Makes the canvas deviceSize() and fills it with one colour.
    void fillCanvas(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

    // Installs the accessibility factory that gives these controls their role.
    static void registerAccessibility();

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TBitmap canvas_;
    // The canvas as painted: its pixels with the ratio at which they cover the control.
    QImage shown_;
    bool pressed_ = false;
};

} // namespace zavio
