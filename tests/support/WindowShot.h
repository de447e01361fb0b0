#pragma once

#include <QString>

class QWidget;

namespace zavio::fixtures {

// Saves window's client area under a plain title strip showing its caption,
// as a window manager would frame it, for the pictures in docs/. Offscreen
// windows have no frame of their own, and the caption is part of what a
// window says.
void saveWindowShot(QWidget* window, const QString& path);

} // namespace zavio::fixtures
