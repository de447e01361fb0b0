#pragma once

#include "browser/ListBoxMouse.h"
#include "browser/TextWidths.h"
#include "imaging/FilePath.h"

#include <QAbstractListModel>
#include <QListView>
#include <QSize>
#include <QStringList>
#include <functional>
#include <vector>

namespace zavio {

// The file list's rows: the names' texts, each row of one size. Holds the
// texts only, so a folder of a hundred thousand pictures costs no item object
// per name.
class FileListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    // Replaces all rows.
    void setTexts(QStringList texts);
    const QString& text(int row) const { return texts_[row]; }
    const QStringList& texts() const { return texts_; }
    // The size every row asks for: the list's extent wide, one row high.
    void setRowSize(QSize size);
    QSize rowSize() const { return rowSize_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList texts_;
    QSize rowSize_;
};

// The file list: rows of one height with a horizontal scroll extent set by
// the program, over the names the window already holds. Its selection
// behaves as a list box's: only a real selection counts (focus alone selects
// nothing), a Ctrl+click never takes the selection away, and a right click
// keeps it. Rows are at least as high as the list's text.
class FileListBox : public ListBoxMouse<QListView> {
    Q_OBJECT

public:
    FileListBox(const QString& objectName, int itemHeight, QWidget* parent);

    // Replaces all items by the names' texts, in their order.
    void setNames(const std::vector<FilePath>& names);
    int count() const { return model_->rowCount(); }
    QString text(int row) const { return model_->text(row); }
    const FileListModel& listModel() const { return *model_; }

    void setHorizontalExtent(int extent);
    int horizontalExtent() const { return extent_; }
    int itemHeight() const { return itemHeight_; }
    // The height of every row: the item height, or the text's height when that is more.
    int rowHeight() const;
    // The width of an item's text in the list's font.
    int textWidth(int row);
    // Measures the texts of the names that are wanted ahead of textWidth, on
    // all cores for a long list.
    void measureTexts(const std::function<bool(const FilePath&)>& wanted);
    qsizetype measuredTexts() const { return widths_.measured(); }

    // The selected row, or -1 when no item is selected (whatever is current).
    int selectedRow() const;
    // Selects row, or nothing for -1, and makes it current.
    void selectRow(int row);
    // Makes row current and selects it alone, as a click does; -1 for none.
    void setCurrentRow(int row);
    int currentRow() const;
    QRect visualItemRect(int row) const;

signals:
    // The selection changed, by the user or the program.
    void itemSelectionChanged();
    void currentRowChanged(int row);
    // A mouse button was released over the list's items, after any change
    // of selection the press made.
    void mouseReleased(Qt::MouseButton button);

protected:
    void buttonReleased(Qt::MouseButton button) override { emit mouseReleased(button); }
    void changeEvent(QEvent* event) override;

private:
    void applyItemSizes();

    FileListModel* model_;
    // In the list's font: set at construction and on every font change.
    TextWidthCache widths_;
    int itemHeight_;
    int extent_ = 0;
};

} // namespace zavio
