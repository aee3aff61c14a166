#pragma once

#include "query/querywords.h"
#include "search/offlineresults.h"
#include "search/onworker.h"
#include "search/searchindex.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace moviecat {

// The search text read for its query words (years, what is new, films held twice): the
// name pattern the index and the helper look for, and the words that narrow what they
// answer, so that the index's answer and the walk's agree.
class SearchWords {
public:
    SearchWords() = default;
    static SearchWords read(const QString &text);

    // The text without its query words, searched as names are today.
    const QString &pattern() const { return m_pattern; }
    bool filters() const { return m_words.filters(); }
    // What the state line says of the malformed words, one after another; empty when
    // every word was understood.
    QString problems() const;
    // The paths of an answer that the year words keep, in their order; with the dup word,
    // only the films held more than once among them, each film's paths next to each
    // other. The day a folder was first seen is the index's to tell: here every path
    // counts as new, so a new word keeps them all.
    QStringList keep(const QStringList &paths) const;
    // An index's answer with its paths narrowed; its parts still count what the index
    // matched, for the folders a walk gives up.
    SearchIndex::Answer keep(const SearchIndex::Answer &answer) const;
    // The year and new words as the index applies them to each folder it matched, on its
    // worker, where the day each was first seen is known; empty without either word.
    SearchIndex::FolderFilter folderFilter() const;
    // What is left to apply to an index's answer narrowed by folderFilter(): the dup word.
    SearchWords afterFolderFilter() const;
    // A walk's rows narrowed, offline ones among them.
    OfflineResults::Rows keep(const OfflineResults::Rows &rows) const;

    // Whether a word needs the day each folder was first seen, which only an index tells.
    bool needsDays() const { return m_words.newDays.has_value(); }
    // A walk's rows narrowed by the days in dated: the indexes the walk has just written,
    // asked for the same pattern with folderFilter(). A walked line stays where dated holds
    // it, or where its category folder has no index, which makes every folder in it new
    // today; an offline row came from an answer narrowed the same way, and stays.
    OfflineResults::Rows keep(const OfflineResults::Rows &rows,
                              const SearchIndex::Answer &dated) const;

    // keep() on a worker: an answer may hold every folder, and each name is read.
    // done runs on context's thread unless context is gone by then; at once where no
    // word narrows.
    template <typename Answer>
    void keepOnWorker(const Answer &answer, QObject *context,
                      std::function<void(const Answer &)> done) const
    {
        if (!filters()) {
            done(answer);
            return;
        }
        onWorker<Answer>(
            context, [words = *this, answer] { return words.keep(answer); }, std::move(done));
    }
    // The same for a walk's rows, whose days are asked of index once it has read what the
    // walk wrote.
    void keepWalkedOnWorker(const OfflineResults::Rows &rows, SearchIndex &index,
                            const QStringList &categoryPaths, QObject *context,
                            std::function<void(const OfflineResults::Rows &)> done) const;

private:
    // rows with only these of their paths, the offline ones among them still marked.
    static OfflineResults::Rows narrowed(const OfflineResults::Rows &rows,
                                         const QStringList &paths);

    QString m_pattern;
    query::QueryWords m_words;
    int m_latestYear = 0;
};

} // namespace moviecat
