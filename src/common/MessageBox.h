#pragma once

#include <QMessageBox>

class QHideEvent;
class QResizeEvent;
class QShowEvent;

namespace zavio {

// The program's message box: centred on the window that shows it (see
// centreOnWindow), or on the active window or the screen when that is not on
// the screen, and wide enough that a window manager's title bar shows its
// whole title beside the bar's buttons.
class MessageBox : public QMessageBox {
    Q_OBJECT

public:
    MessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons, QWidget* parent);

    // The least width at which a title bar shows title in full: the title in
    // the larger of the window-title font and the bold window font, and room
    // for the bar's icon and buttons.
    static int widthForTitle(const QString& title);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The size the box was last centred at while shown.
    QSize placedAt_;
};

} // namespace zavio
