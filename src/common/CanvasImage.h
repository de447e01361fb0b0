#pragma once

#include "imaging/TBitmap.h"

#include <QWidget>

namespace zavio {

// A picture control (a thumbnail cell, the comment viewer's picture, the
// rotation preview): it draws its own canvas, a bitmap of its size that keeps
// what was drawn into it, and reports clicks. Assistive technology sees it as
// a graphic named after the file it shows.
class CanvasImage : public QWidget {
    Q_OBJECT

public:
    CanvasImage(const QString& objectName, QWidget* parent);

    TBitmap& canvas() { return canvas_; }
    const TBitmap& canvas() const { return canvas_; }
    // Replaces the canvas and repaints.
    void setCanvas(const TBitmap& canvas);
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
    bool pressed_ = false;
};

} // namespace zavio
