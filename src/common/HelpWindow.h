#pragma once

#include "common/Memo.h"
#include "common/WindowActivation.h"

#include <QColor>
#include <QDialog>
#include <QPoint>
#include <QSize>
#include <QString>

namespace zavio {

// A fixed-size dialog that shows one fixed text in a read-only box filling its
// whole client area. The help windows differ only in the settings below.
class HelpWindow : public QDialog {
    Q_OBJECT

public:
    struct Layout {
        QString objectName;
        QString caption;
        QPoint position; // top-left corner on the screen
        QSize clientSize;
        QColor background; // of the text
        QColor textColour;
        bool verticalBar = false;
        QString textResource;
    };

protected:
    HelpWindow(const Layout& layout, QWidget* parent);

private:
    Memo* Memo1 = nullptr;

    // Run on every show: the text can be scrolled and selected, but not
    // changed, and shows no caret.
    void FormActivate();
    WindowActivation activation_{*this, WindowActivation::Moment::Shown, [this] { FormActivate(); }};
};

} // namespace zavio
