#include "search/resultsdelegate.h"

#include "search/matchspans.h"
#include "search/resultsmodel.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

namespace moviecat {

namespace {

// The spans of text as they fall in its elided form shown; a span in the part given up
// is not drawn.
QList<QTextLayout::FormatRange> boldRanges(const QString &text, const QString &shown,
                                           const QList<MatchSpans::Span> &spans, const QFont &bold)
{
    const qsizetype ellipsis = shown == text ? -1 : shown.indexOf(QChar(0x2026));
    QList<QTextLayout::FormatRange> ranges;
    for (const MatchSpans::Span &span : spans) {
        int start = span.start;
        if (ellipsis >= 0) {
            // The end of the line is kept as it was: count from there.
            start = int(shown.size() - (text.size() - span.start));
            if (start <= ellipsis)
                continue;
        }
        QTextLayout::FormatRange range;
        range.start = start;
        range.length = span.length;
        range.format.setFont(bold);
        ranges << range;
    }
    return ranges;
}

} // namespace

void ResultsDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    const auto spans = index.data(ResultsModel::SpansRole).value<QList<MatchSpans::Span>>();
    if (spans.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect rect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                           .adjusted(margin, 0, -margin, 0);
    QFont bold = opt.font;
    bold.setBold(true);
    // Measured in bold, so that the marked line still fits.
    const QString shown = QFontMetrics(bold).horizontalAdvance(text) > rect.width()
                              ? QFontMetrics(bold).elidedText(text, Qt::ElideMiddle, rect.width())
                              : text;
    QTextLayout layout(shown, opt.font);
    layout.setFormats(boldRanges(text, shown, spans, bold));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(rect.width() * 2);
    layout.endLayout();

    const QPalette::ColorGroup group =
        opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setPen(opt.palette.color(
        group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setClipRect(rect);
    layout.draw(painter, QPointF(rect.left(), rect.top() + (rect.height() - line.height()) / 2));
    painter->restore();
}

} // namespace moviecat
