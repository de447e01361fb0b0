#pragma once

#include "common/HelpWindow.h"

namespace zavio {

// The comment help window the comment editor's "説明" button opens: how to
// edit and delete a comment, short enough to need no scroll bar.
class TForm5 : public HelpWindow {
    Q_OBJECT

public:
    explicit TForm5(QWidget* parent = nullptr);
};

} // namespace zavio
