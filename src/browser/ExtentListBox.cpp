#include "browser/ExtentListBox.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <algorithm>

namespace zavio {
namespace {

constexpr int kIndentRole = Qt::UserRole + 1;
constexpr int kIndentStep = 8;

void indent(QStyleOptionViewItem& option, const QModelIndex& index)
{
    option.rect.adjust(index.data(kIndentRole).toInt() * kIndentStep, 0, 0, 0);
}

// Draws an item moved right by its indent, so the folder list reads as a tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem moved(option);
        indent(moved, index);
        QStyledItemDelegate::paint(painter, moved, index);
    }
    // What paint hands to the style for the item.
    void prepare(QStyleOptionViewItem& option, const QModelIndex& index) const
    {
        indent(option, index);
        initStyleOption(&option, index);
    }
};

} // namespace

bool isCtrlClickOnSelected(const QItemSelectionModel& selection, const QModelIndex& index, const QEvent* event)
{
    return event && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)
        && static_cast<const QMouseEvent*>(event)->modifiers().testFlag(Qt::ControlModifier)
        && selection.isSelected(index);
}

ExtentListBox::ExtentListBox(const QString& objectName, int itemHeight, QWidget* parent)
    : ListBoxMouse<QListWidget>(parent), itemHeight_(itemHeight)
{
    setObjectName(objectName);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setItemDelegate(new IndentDelegate(this));
    applyItemSizes();
}

void ExtentListBox::setItems(const QStringList& texts, const QList<int>& indents)
{
    clear();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        auto* item = new QListWidgetItem(texts[i], this);
        item->setData(kIndentRole, i < indents.size() ? indents[i] : 0);
    }
    applyItemSizes();
}

void ExtentListBox::setHorizontalExtent(int extent)
{
    extent_ = extent;
    applyItemSizes();
}

int ExtentListBox::textWidth(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? QFontMetrics(font()).horizontalAdvance(entry->text()) : 0;
}

int ExtentListBox::rowHeight() const
{
    return std::max(itemHeight_, QFontMetrics(font()).height());
}

QStyleOptionViewItem ExtentListBox::itemOption(int row) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex index = model()->index(row, 0);
    option.rect = visualRect(index);
    static_cast<const IndentDelegate*>(itemDelegate())->prepare(option, index);
    return option;
}

int ExtentListBox::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ExtentListBox::selectRow(int row)
{
    if (row < 0) {
        clearSelection();
        setCurrentRow(-1);
    } else {
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
}

void ExtentListBox::changeEvent(QEvent* event)
{
    QListWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyItemSizes();
}

void ExtentListBox::applyItemSizes()
{
    // Themes ask for list icons larger than a row (24 pixels under GNOME),
    // which would run into the rows above and below.
    const int height = rowHeight();
    setIconSize(QSize(height, height));
    for (int row = 0; row < count(); ++row)
        item(row)->setSizeHint(QSize(extent_, height));
}

} // namespace zavio
