#include "search/walkanswer.h"

#include "search/batchfile.h"
#include "search/onworker.h"

#include <QPointer>

namespace moviecat {

void WalkAnswer::make(const QByteArray &bytes, const SearchIndex::Answer &answer,
                      const QStringList &givenUp, const SearchWords &words, SearchIndex &index,
                      const QStringList &categoryPaths, const ResultPaths &shown, QObject *context,
                      std::function<void(const WalkAnswer &)> done)
{
    const auto read = [bytes, answer, givenUp] {
        WalkAnswer walk;
        walk.lines = SearchBatch::resultLines(bytes);
        walk.rows = OfflineResults::merge(walk.lines, answer, givenUp);
        return walk;
    };
    const auto compared = [shown](WalkAnswer walk) {
        walk.asShown = walk.rows.offline.isEmpty() && ResultPaths(walk.rows.paths) == shown;
        return walk;
    };
    onWorker<WalkAnswer>(
        context, read,
        [words, index = QPointer(&index), categoryPaths, compared, context,
         done = std::move(done)](const WalkAnswer &merged) {
            if (!index)
                return;
            words.keepWalkedOnWorker(
                merged.rows, *index, categoryPaths, context,
                [merged, compared, context, done](const OfflineResults::Rows &rows) {
                    WalkAnswer walk = merged;
                    walk.rows = rows;
                    onWorker<WalkAnswer>(
                        context, [walk, compared] { return compared(walk); }, done);
                });
        });
}

} // namespace moviecat
