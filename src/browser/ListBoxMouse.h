#pragma once

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QMouseEvent>

namespace zavio {

// Whether event is a press or release of a Ctrl+click on the selected item,
// which a list box ignores instead of taking its one selection away.
bool isCtrlClickOnSelected(const QItemSelectionModel& selection, const QModelIndex& index, const QEvent* event);

// The mouse rules of the program's list boxes, over either of Qt's lists
// (the item widget or the view over a model): a Ctrl+click never takes the
// selection away, a right click neither selects nor moves the current item,
// and a button released over the items is passed to buttonReleased, after any
// change of selection the press made.
template <typename List>
class ListBoxMouse : public List {
public:
    using List::List;

protected:
    virtual void buttonReleased(Qt::MouseButton button) = 0;

    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override
    {
        if (isCtrlClickOnSelected(*this->selectionModel(), index, event))
            return QItemSelectionModel::NoUpdate;
        return List::selectionCommand(index, event);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::RightButton) {
            event->accept();
            return;
        }
        List::mousePressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        List::mouseReleaseEvent(event);
        if (this->viewport()->rect().contains(event->position().toPoint()))
            buttonReleased(event->button());
    }
};

} // namespace zavio
