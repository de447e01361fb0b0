#pragma once

#include "imaging/ThumbnailFit.h"
#include "imaging/TBitmap.h"

namespace zavio {

// Draws source stretched into rect on canvas by nearest neighbour (pixels are
// dropped or repeated, never blended). Only the part inside the canvas is drawn.
// A rectangle whose right edge lies left of its left edge (or bottom above top)
// draws the picture mirrored between the two; coinciding edges draw nothing.
void stretchDraw(TBitmap& canvas, const FitRect& rect, const TBitmap& source);

} // namespace zavio
