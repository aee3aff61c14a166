#pragma once

#include "search/batchfile.h"
#include "search/searchindex.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

namespace moviecat {

// How the window tells the folders a search left out: one line each, the path as the
// user reads it and why, and where the index's results stand in for a folder that did
// not answer, since when.
class SkippedWording {
    Q_DECLARE_TR_FUNCTIONS(SkippedWording)
public:
    struct Lines {
        QStringList folders;
        QDateTime oldestIndex; // the oldest index standing in; invalid when none does
    };

    static Lines describe(const QList<SkippedFolder> &skipped, const SearchIndex::Answer &answer);
    static QString reason(SkipReason reason);
};

} // namespace moviecat
