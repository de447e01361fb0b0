#pragma once

#include <QCursor>

namespace zavio {

// The zoom window's magnifier pointer, from the resource "CURSOR1": 32 x 32,
// its hot spot at the top-left pixel.
QCursor magnifierCursor();

} // namespace zavio
