#include "folderview/entrydelegate.h"

namespace moviecat {

EntryDelegate::EntryDelegate(std::function<void(const QModelIndex &)> painting, QObject *parent)
    : QStyledItemDelegate(parent), m_painting(std::move(painting))
{}

void EntryDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const
{
    if (m_painting)
        m_painting(index);
    QStyledItemDelegate::paint(painter, option, index);
}

QSize EntryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (m_itemSize.isValid())
        return m_itemSize;
    return QStyledItemDelegate::sizeHint(option, index);
}

void EntryDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    // The view's icon size; the base class shrinks it to each icon's own size.
    const QSize box = option->decorationSize;
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->features & QStyleOptionViewItem::HasDecoration)
        option->decorationSize = box;
    if (m_itemSize.isValid() && option->decorationPosition == QStyleOptionViewItem::Top)
        option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
}

} // namespace moviecat
