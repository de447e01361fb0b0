#pragma once

#include <QSize>
#include <QString>

namespace zavio {

// The zoom window's sizing and caption rules, free of any window.

// The caption shown when a picture opens: "可変表示・元サイズ＝W*H name", or the
// short "サイズ＝W*H" when either side is under 350 pixels.
QString openingCaption(int width, int height, const QString& name);

// The client area a picture opens in: its own size, or fitted to 1000 pixels
// of width (landscape and square pictures wider than 1010) or 700 of height
// (portrait pictures higher than 755). The ratio is single precision and every
// size is truncated, so 1200 x 900 opens at 1000 x 749.
QSize openingClientSize(int width, int height);

// The magnification in tenths: 10 is 100 %. Left clicks go up to 200 %,
// right clicks down to 10 %, or to 50 % for a base width of 410 or less.
class ZoomFactor {
public:
    int tenths() const { return tenths_; }
    void reset() { tenths_ = 10; }
    // Each returns whether the factor moved.
    bool enlarge();
    bool reduce(int baseWidth);

private:
    int tenths_ = 10;
};

// Where a zoom step leaves the window. A client side follows the picture while
// the picture is smaller than the screen in that direction (its height less
// 45 for the title bar and the panel); otherwise it keeps its size and that
// direction's scroll bar shows, so every part of the picture can be reached.
struct ZoomLayout {
    QSize image;
    bool horizontalBar = false;
    bool verticalBar = false;
    QString caption;
    bool followsWidth() const { return !horizontalBar; }
    bool followsHeight() const { return !verticalBar; }
};
ZoomLayout zoomLayout(QSize base, int tenths, QSize screen);

// The client area a zoom step sets: each side follows the picture as the
// layout says, or keeps current; and either is cut to room (the screen's
// available area less the window frame) should it not fit there, that side
// then scrolling too. So the window's frame never needs more than the room.
struct ZoomClient {
    QSize size;
    bool horizontalBar = false;
    bool verticalBar = false;
    // Whether room cut a side.
    bool limited = false;
};
ZoomClient zoomClient(const ZoomLayout& layout, QSize current, QSize room);

// The caption after a zoom step: "Size=w*h", or the bare "w*h" when either side
// is under 150 pixels.
QString zoomedCaption(int width, int height);

} // namespace zavio
