#pragma once

#include "search/offlineresults.h"
#include "search/searchindex.h"
#include "search/searchwords.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <functional>

namespace moviecat {

// A walk's answer made ready to be shown, off the window's thread: a hundred thousand
// lines take tens of milliseconds to read and compare.
struct WalkAnswer {
    QStringList lines;         // as the helper wrote them
    OfflineResults::Rows rows; // as the list shows them
    bool asShown = false;      // rows are the paths shown already, none offline

    // Reads the result file's bytes into lines; merges in, below the folders the walk
    // gave up, what the index answered; applies the words (asking index for the days
    // folders were first seen, where a word needs them); and compares the rows with the
    // paths shown. done runs on context's thread, unless context is gone by then.
    static void make(const QByteArray &bytes, const SearchIndex::Answer &answer,
                     const QStringList &givenUp, const SearchWords &words, SearchIndex &index,
                     const QStringList &categoryPaths, const ResultPaths &shown, QObject *context,
                     std::function<void(const WalkAnswer &)> done);
};

} // namespace moviecat
