#pragma once

class QApplication;

namespace zavio {

// Sets up the application before any window is made: Japanese standard
// dialogs, the style, the window font, the picture budget of the image readers.
void prepareApplication(QApplication& app);

// The font of every window at 15 pixels.
void applyJapaneseFont(QApplication& app);

} // namespace zavio
