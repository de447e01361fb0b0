#pragma once

#include <QFont>

namespace zavio {

// The windows' font at a height in pixels: "ＭＳ Ｐゴシック" where installed,
// else IPAPGothic, which Debian ships.
QFont japaneseFont(int pixelSize);

} // namespace zavio
