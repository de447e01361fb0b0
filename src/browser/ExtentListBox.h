#pragma once

#include "browser/ListBoxMouse.h"

#include <QListWidget>

namespace zavio {

// A list box with rows of one height and a horizontal scroll extent set by
// the program: the content is as wide as the extent, so the list scrolls
// sideways when the extent is wider than the box. Its selection behaves as a
// list box's: only a real selection counts (focus alone selects nothing), a
// Ctrl+click never takes the selection away, and a right click keeps it.
// Rows are at least as high as the list's text, and icons are as high as a
// row, whatever sizes the platform's theme would choose.
class ExtentListBox : public ListBoxMouse<QListWidget> {
    Q_OBJECT

public:
    ExtentListBox(const QString& objectName, int itemHeight, QWidget* parent);

    void setHorizontalExtent(int extent);
    int horizontalExtent() const { return extent_; }
    int itemHeight() const { return itemHeight_; }
    // The height of every row: the item height, or the text's height when that is more.
    int rowHeight() const;
    // Replaces all items; with indents, each item is drawn that many steps in.
    void setItems(const QStringList& texts, const QList<int>& indents = {});
    // The width of an item's text in the list's font.
    int textWidth(int row) const;
    // The selected row, or -1 when no item is selected (whatever is current).
    int selectedRow() const;
    // Selects row, or nothing for -1, and makes it current.
    void selectRow(int row);
    // The drawing options of a row as its delegate paints it, indent included.
    QStyleOptionViewItem itemOption(int row) const;

signals:
    // A mouse button was released over the list's items, after any change
    // of selection the press made.
    void mouseReleased(Qt::MouseButton button);

protected:
    void buttonReleased(Qt::MouseButton button) override { emit mouseReleased(button); }
    void changeEvent(QEvent* event) override;

private:
    void applyItemSizes();

    int itemHeight_;
    int extent_ = 0;
};

} // namespace zavio
