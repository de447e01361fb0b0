#pragma once

#include "imaging/TBitmap.h"
#include "rotation/TPixelImage.h"

#include <QSize>

#include <cstdint>

namespace zavio {

// The size of picture turned by angle degrees: for an angle folded into 0 to
// 90, trunc(cos r * Width + sin r * Height) by trunc(sin r * Width + cos r *
// Height), in extended precision. Quarter turns swap the sides exactly. An
// angle outside 0 to 360 is first brought into that range; one that is not a
// number (or infinite) gives 0 x 0.
QSize RotatedSize(const TPixelImage& picture, float angle);

// Draws picture turned by angle degrees (counter-clockwise) into target, which
// should have the size RotatedSize gives. Each written pixel is the bilinear
// blend of the 2 x 2 source neighbourhood it falls in, or black where that
// neighbourhood is not wholly inside the picture; an odd last column or row is
// not written and keeps target's colour. The rows are shared out over threads
// workers (0: one per core). Quarter and half turns copy pixels wherever the
// blend provably returns one source pixel unchanged. Nothing is drawn for an
// angle that is not a finite number.
void RotateImage(const TPixelImage& picture, float angle, TBitmap& target, int threads = 0);

// How many workers RotateImage uses for a target of pixels pixels when asked
// for requested (0: one per core): at most 64, and one for each 65,536 pixels,
// since a smaller band is done before a thread would have started.
[[nodiscard]] int RotationWorkers(int requested, std::int64_t pixels);

} // namespace zavio
