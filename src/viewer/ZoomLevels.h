#pragma once

#include <QImage>
#include <QSize>
#include <vector>

namespace zavio {

// A picture and its copies at half, quarter, ... size, so that a view of any
// size is scaled from a copy at most twice as large as the view: reductions
// are then smooth (each halving averages 2 x 2 pixels) instead of skipping
// most of the picture's pixels, and a repaint reads only the pixels it shows.
class ZoomLevels {
public:
    // Takes the picture (sharing its pixels) and builds the smaller copies.
    void setPicture(const QImage& picture);
    void clear() { levels_.clear(); }
    bool isEmpty() const { return levels_.empty(); }
    int levelCount() const { return int(levels_.size()); }
    const QImage& level(int index) const { return levels_[size_t(index)]; }
    // The smallest copy that is still at least as large as view on both sides
    // (the picture itself for a view larger than it).
    const QImage& levelFor(QSize view) const;

private:
    std::vector<QImage> levels_;
};

// The picture at half its width and height (rounded down), each pixel the
// mean of a 2 x 2 block, in Format_RGB32. Takes Format_BGR888 or Format_RGB32.
QImage halveImage(const QImage& source);

} // namespace zavio
