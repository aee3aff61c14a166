#pragma once

#include <QStyledItemDelegate>
#include <functional>

namespace moviecat {

// Draws entries with one icon box for all of them, so that a poster, which is
// taller than wide, and a square folder icon line up on the same grid. It
// reports each entry it paints: only entries on screen are painted, and that is
// what decides which posters load first. With an item size set, every entry
// takes that size and names start right under the icon: a large folder is then
// laid out without measuring each name.
class EntryDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit EntryDelegate(std::function<void(const QModelIndex &)> painting,
                           QObject *parent = nullptr);

    // An invalid size measures each entry.
    void setItemSize(QSize size) { m_itemSize = size; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    std::function<void(const QModelIndex &)> m_painting;
    QSize m_itemSize;
};

} // namespace moviecat
