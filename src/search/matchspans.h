#pragma once

#include <QList>
#include <QString>

namespace moviecat {

// Where a search's text matched a folder name, to draw that part in bold. It folds and
// reads wildcards as the search does (match::matchForm, match::splitWildcards), so
// "ＤＲＡＧＯＮ" marks "Dragon" and "é" marks "É", composed or not.
struct MatchSpans {
    struct Span {
        int start = 0; // in UTF-16 units of the name as given
        int length = 0;
        friend bool operator==(const Span &, const Span &) = default;
    };

    // The parts of a readable folder name (one name, not a path) that the pattern
    // "*text*" matched first, its literal pieces only; none where it does not match.
    static QList<Span> find(const QString &name, const QString &text);
};

} // namespace moviecat
