#pragma once

#include <QStyledItemDelegate>

namespace moviecat {

// Draws a results line with the part of its last name that the text matched in bold;
// a line too long for the list gives up its middle, keeping the match in sight.
class ResultsDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

} // namespace moviecat
