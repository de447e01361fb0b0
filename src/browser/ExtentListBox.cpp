#include "browser/ExtentListBox.h"

#include <QFontMetrics>
#include <QStyledItemDelegate>

namespace zavio {
namespace {

constexpr int kIndentRole = Qt::UserRole + 1;
constexpr int kIndentStep = 8;

// Draws an item moved right by its indent, so the folder list reads as a tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem moved(option);
        moved.rect.adjust(index.data(kIndentRole).toInt() * kIndentStep, 0, 0, 0);
        QStyledItemDelegate::paint(painter, moved, index);
    }
};

} // namespace

ExtentListBox::ExtentListBox(const QString& objectName, int itemHeight, QWidget* parent)
    : QListWidget(parent), itemHeight_(itemHeight)
{
    setObjectName(objectName);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setItemDelegate(new IndentDelegate(this));
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

void ExtentListBox::applyItemSizes()
{
    for (int row = 0; row < count(); ++row)
        item(row)->setSizeHint(QSize(extent_, itemHeight_));
}

} // namespace zavio
