#include "search/searchwords.h"

#include "query/foldedname.h"
#include "query/nameyear.h"
#include "query/queryfilter.h"
#include "ui/filenames.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSet>
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace moviecat {

SearchWords SearchWords::read(const QString &text)
{
    SearchWords read;
    read.m_latestYear = query::latestFilmYear();
    // The box holds Unicode text: its UTF-8 form comes back whole.
    read.m_words = query::parseQueryWords(text.toUtf8().toStdString(), read.m_latestYear);
    read.m_pattern = QString::fromStdString(read.m_words.pattern);
    return read;
}

QString SearchWords::problems() const
{
    QStringList said;
    for (const query::MalformedWord &word : m_words.malformed) {
        said << QCoreApplication::translate("moviecat::query", query::problemTemplate(word.problem))
                    .arg(QString::fromStdString(word.word), QString::fromStdString(word.key));
    }
    return said.join(QStringLiteral("；"));
}

QStringList SearchWords::keep(const QStringList &paths) const
{
    if (!m_words.filters())
        return paths;
    std::vector<std::string> folded;
    folded.reserve(size_t(paths.size()));
    for (const QString &path : paths)
        folded.push_back(query::foldedName(FileNames::toBytes(path).toStdString()));
    const std::vector<std::uint32_t> kept =
        query::applyWords(m_words, query::localToday(), m_latestYear, folded,
                          [](std::size_t) { return std::optional<query::Day>(); });
    QStringList out;
    out.reserve(qsizetype(kept.size()));
    for (const std::uint32_t line : kept)
        out << paths.at(line);
    return out;
}

SearchIndex::Answer SearchWords::keep(const SearchIndex::Answer &answer) const
{
    if (!filters())
        return answer;
    SearchIndex::Answer kept = answer;
    kept.paths = keep(answer.paths.toStringList());
    return kept;
}

SearchIndex::FolderFilter SearchWords::folderFilter() const
{
    const query::QueryFilter filter(m_words, query::localToday(), m_latestYear);
    if (!filter.narrows())
        return {};
    // The folded name keeps the digits and brackets a year is read by.
    return [filter](const index::FolderIndex &index, std::uint32_t folder) {
        return filter.keeps(index.folded(folder), query::Day(index.firstSeen(folder)));
    };
}

SearchWords SearchWords::afterFolderFilter() const
{
    SearchWords rest = *this;
    rest.m_words.years.reset();
    rest.m_words.newDays.reset();
    return rest;
}

OfflineResults::Rows SearchWords::narrowed(const OfflineResults::Rows &rows,
                                           const QStringList &paths)
{
    OfflineResults::Rows kept;
    kept.paths = paths;
    for (const QString &path : paths) {
        if (const auto since = rows.offline.constFind(path); since != rows.offline.cend()) {
            kept.offline.insert(path, *since);
            if (!kept.oldest.isValid() || *since < kept.oldest)
                kept.oldest = *since;
        }
    }
    return kept;
}

OfflineResults::Rows SearchWords::keep(const OfflineResults::Rows &rows) const
{
    return filters() ? narrowed(rows, keep(rows.paths)) : rows;
}

OfflineResults::Rows SearchWords::keep(const OfflineResults::Rows &rows,
                                       const SearchIndex::Answer &dated) const
{
    QSet<QString> held;
    held.reserve(dated.paths.size());
    for (qsizetype row = 0; row < dated.paths.size(); ++row)
        held.insert(dated.paths.at(row));
    QStringList roots; // without an index
    for (const SearchIndex::Part &part : dated.parts) {
        if (!part.root.isEmpty() && !part.walked.isValid())
            roots << part.root;
    }
    const auto undated = [&](const QString &path) {
        return std::any_of(roots.cbegin(), roots.cend(), [&](const QString &root) {
            return OfflineResults::isBelow(path, root);
        });
    };
    // A line without a day is new today: its name's year alone decides.
    SearchWords byName = *this;
    byName.m_words.duplicates = false;
    QStringList named;
    std::copy_if(rows.paths.cbegin(), rows.paths.cend(), std::back_inserter(named), undated);
    named = byName.keep(named);
    const QSet<QString> keptByName(named.cbegin(), named.cend());
    QStringList paths;
    for (const QString &path : rows.paths) {
        if (rows.offline.contains(path) || held.contains(path) || keptByName.contains(path))
            paths << path;
    }
    return afterFolderFilter().keep(narrowed(rows, paths));
}

void SearchWords::keepWalkedOnWorker(const OfflineResults::Rows &rows, SearchIndex &index,
                                     const QStringList &categoryPaths, QObject *context,
                                     std::function<void(const OfflineResults::Rows &)> done) const
{
    if (!needsDays()) {
        keepOnWorker(rows, context, std::move(done));
        return;
    }
    // The query reloads the indexes the walk has replaced before it answers.
    index.query(
        categoryPaths, m_pattern,
        [words = *this, rows, context = QPointer(context),
         done = std::move(done)](const SearchIndex::Answer &dated) {
            if (context) {
                onWorker<OfflineResults::Rows>(
                    context, [words, rows, dated] { return words.keep(rows, dated); }, done);
            }
        },
        folderFilter());
}

} // namespace moviecat
