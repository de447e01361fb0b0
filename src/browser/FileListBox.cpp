#include "browser/FileListBox.h"

#include <QFontMetrics>
#include <QThread>

#include <algorithm>

namespace zavio {

void FileListModel::setTexts(QStringList texts)
{
    beginResetModel();
    texts_ = std::move(texts);
    endResetModel();
}

void FileListModel::setRowSize(QSize size)
{
    rowSize_ = size;
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(texts_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= texts_.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
        return texts_[index.row()];
    case Qt::SizeHintRole:
        return rowSize_;
    default:
        return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

FileListBox::FileListBox(const QString& objectName, int itemHeight, QWidget* parent)
    : ListBoxMouse<QListView>(parent), model_(new FileListModel(this)), itemHeight_(itemHeight)
{
    setObjectName(objectName);
    setModel(model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { emit itemSelectionChanged(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { emit currentRowChanged(current.isValid() ? current.row() : -1); });
    widths_.setFont(font());
    applyItemSizes();
}

void FileListBox::setNames(const std::vector<FilePath>& names)
{
    QStringList texts;
    texts.reserve(qsizetype(names.size()));
    for (const FilePath& name : names)
        texts.append(name.text());
    widths_.setNames(names);
    model_->setTexts(std::move(texts));
    applyItemSizes();
}

void FileListBox::setHorizontalExtent(int extent)
{
    if (extent == extent_)
        return;
    extent_ = extent;
    applyItemSizes();
}

int FileListBox::textWidth(int row)
{
    return widths_.width(row);
}

void FileListBox::measureTexts(const std::function<bool(const FilePath&)>& wanted)
{
    widths_.measure(wanted, QThread::idealThreadCount());
}

int FileListBox::rowHeight() const
{
    return std::max(itemHeight_, QFontMetrics(font()).height());
}

int FileListBox::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void FileListBox::selectRow(int row)
{
    if (row < 0) {
        clearSelection();
        setCurrentRow(-1);
    } else {
        setCurrentRow(row);
    }
}

void FileListBox::setCurrentRow(int row)
{
    selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

int FileListBox::currentRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

QRect FileListBox::visualItemRect(int row) const
{
    return visualRect(model_->index(row, 0));
}

void FileListBox::changeEvent(QEvent* event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        widths_.setFont(font());
        applyItemSizes();
    }
}

void FileListBox::applyItemSizes()
{
    // Every row asks for one size, so the view lays out a hundred thousand
    // rows from the first one's size without asking each.
    const int height = rowHeight();
    setIconSize(QSize(height, height));
    model_->setRowSize(QSize(extent_, height));
    // The view keeps the first row's size until it lays out again.
    doItemsLayout();
}

} // namespace zavio
