#pragma once

#include "search/searchindex.h"

#include <QCoreApplication>
#include <QDateTime>

class QLabel;
class QWidget;

namespace moviecat {

// The line below the results list that says where its lines come from. Its text is the
// list's accessible description too, so a screen reader reads it with the list.
class SearchStateLine {
    Q_DECLARE_TR_FUNCTIONS(SearchStateLine)
public:
    // label may be left out; the list still carries the description.
    SearchStateLine(QWidget *results, QLabel *label);

    void clear() { say(QString()); }
    // The index's answer to the text typed, from the indexes loaded so far.
    void typed(const SearchIndex::Answer &answer);
    // The index's answer to a search whose walk is under way.
    void confirming(const SearchIndex::Answer &answer);
    // The walk's answer of so many lines: offline ones taken from an index written at
    // oldest, if any.
    void walked(qsizetype lines, qsizetype offline, const QDateTime &oldest, bool indexShown);

    // "找到 134,633 个": the count grouped as the user's locale groups digits.
    static QString found(qsizetype lines);

    QString text() const { return m_text; }

private:
    void say(const QString &text);
    void sayFound(qsizetype lines, const QString &more);

    QWidget *m_results;
    QLabel *m_label;
    QString m_text;
};

} // namespace moviecat
