#pragma once

#include "search/searchindex.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace moviecat {

// The results of a walk that gave up folders on a share that did not answer: what the
// index knew below those folders stays in the list, where the walk would have put it,
// marked with the time the share last answered. Nothing here touches the file system.
struct OfflineResults {
    struct Rows {
        QStringList paths;                 // the list, in the walk's order
        QHash<QString, QDateTime> offline; // the rows only the index vouches for, and since when
        QDateTime oldest;                  // the oldest of those times; invalid when none
    };

    // The walk's lines with the index's matches below the given-up folders merged in, each
    // in its category and, inside it, in the index's order (which is the walk's). A line
    // the walk found is never doubled, and never marked.
    static Rows merge(const QStringList &walked, const SearchIndex::Answer &answer,
                      const QStringList &givenUp);

    // When the index that stands in for a given-up folder was written, or an invalid time
    // where no index covers it.
    static QDateTime indexedAt(const QString &folder, const SearchIndex::Answer &answer);

    // Whether path lies below folder (not at it).
    static bool isBelow(const QString &path, const QString &folder);
};

} // namespace moviecat
