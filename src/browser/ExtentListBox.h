#pragma once

#include <QListWidget>

namespace zavio {

// A list box with a fixed item height and a horizontal scroll extent set by
// the program: the content is as wide as the extent, so the list scrolls
// sideways when the extent is wider than the box.
class ExtentListBox : public QListWidget {
    Q_OBJECT

public:
    ExtentListBox(const QString& objectName, int itemHeight, QWidget* parent);

    void setHorizontalExtent(int extent);
    int horizontalExtent() const { return extent_; }
    int itemHeight() const { return itemHeight_; }
    // Replaces all items; with indents, each item is drawn that many steps in.
    void setItems(const QStringList& texts, const QList<int>& indents = {});
    // The width of an item's text in the list's font.
    int textWidth(int row) const;

private:
    void applyItemSizes();

    int itemHeight_;
    int extent_ = 0;
};

} // namespace zavio
