#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace zavio {

// The top-left corner for a window frame of the given size centred on the
// frame of another window (on), moved as little as needed to lie inside the
// screen area available; a frame larger than that area keeps its top-left
// corner on the area's.
[[nodiscard]] QPoint centredFramePosition(QSize frame, const QRect& on, const QRect& available);

// The frame size of a window whose inside is client, with ownMargins as its
// frame; a window not yet framed by the window manager (no margins known) is
// taken to get the margins of the window it is placed on.
[[nodiscard]] QSize framedSize(QSize client, const QMargins& ownMargins, const QMargins& onMargins);

} // namespace zavio
