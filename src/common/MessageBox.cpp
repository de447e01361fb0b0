#include "common/MessageBox.h"

#include "common/WindowCentre.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLayout>
#include <QShowEvent>

#include <algorithm>

namespace zavio {
namespace {

// A title bar's icon, its minimise, maximise and close buttons and the gaps
// between them, as common window managers draw them.
constexpr int kTitleBarRoom = 140;

} // namespace

MessageBox::MessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons, QWidget* parent)
    : QMessageBox(icon, title, text, buttons, parent)
{}

int MessageBox::widthForTitle(const QString& title)
{
    QFont bold = QFont();
    bold.setBold(true);
    const int advance =
        std::max(QFontMetrics(QFontDatabase::systemFont(QFontDatabase::TitleFont)).horizontalAdvance(title),
                 QFontMetrics(bold).horizontalAdvance(title));
    return advance + kTitleBarRoom;
}

void MessageBox::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        // The box sizes itself to its layout, so the room for the title is
        // asked of the layout: as the least width of the buttons' row.
        const int wanted = widthForTitle(windowTitle());
        if (auto* buttons = findChild<QDialogButtonBox*>()) {
            const QMargins margins = layout() ? layout()->contentsMargins() : QMargins();
            buttons->setMinimumWidth(wanted - margins.left() - margins.right());
        }
    }
    // The box settles its size here; Qt would then centre it on its parent
    // only when that is on the screen, and leave it in a corner otherwise.
    QMessageBox::showEvent(event);
    if (event->spontaneous())
        return;
    centreOnWindow(*this, parentWidget());
    placedAt_ = size();
}

void MessageBox::resizeEvent(QResizeEvent* event)
{
    QMessageBox::resizeEvent(event);
    // The box settles its size again once its text is laid out on the
    // screen; it stays centred. Nobody resizes a message box by hand.
    if (isVisible() && placedAt_.isValid() && size() != placedAt_) {
        centreOnWindow(*this, parentWidget());
        placedAt_ = size();
    }
}

void MessageBox::hideEvent(QHideEvent* event)
{
    QMessageBox::hideEvent(event);
    placedAt_ = QSize();
}

} // namespace zavio
