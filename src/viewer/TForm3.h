#pragma once

#include "common/HelpWindow.h"

namespace zavio {

// The help window the main window's "操作説明" button opens: the operating
// instructions, longer than the box, with a vertical scroll bar.
class TForm3 : public HelpWindow {
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent = nullptr);
};

} // namespace zavio
