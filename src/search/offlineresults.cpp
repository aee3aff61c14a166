#include "search/offlineresults.h"

#include <QDir>
#include <QSet>

namespace moviecat {

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QDir::separator();
}

// The helper may name a folder with the separator its category path ended in.
QString withoutTrailingSeparators(QString folder)
{
    while (folder.size() > 1 && isSeparator(folder.back()))
        folder.chop(1);
    return folder;
}

bool belowAny(const QString &path, const QStringList &folders)
{
    for (const QString &folder : folders) {
        if (OfflineResults::isBelow(path, folder))
            return true;
    }
    return false;
}

// The walk lists its categories one after another: a line belongs to the first
// category, from the previous line's on, whose folder holds it.
QList<qsizetype> categoriesOf(const QStringList &walked, const QList<SearchIndex::Part> &parts)
{
    QList<qsizetype> categoryOf(walked.size(), 0);
    qsizetype category = 0;
    for (qsizetype line = 0; line < walked.size(); ++line) {
        for (qsizetype c = category; c < parts.size(); ++c) {
            if (OfflineResults::isBelow(walked.at(line), parts.at(c).root)) {
                category = c;
                break;
            }
        }
        categoryOf[line] = category;
    }
    return categoryOf;
}

} // namespace

bool OfflineResults::isBelow(const QString &path, const QString &folder)
{
    if (folder.isEmpty() || path.size() <= folder.size() || !path.startsWith(folder))
        return false;
    return isSeparator(folder.back()) || isSeparator(path.at(folder.size()));
}

QDateTime OfflineResults::indexedAt(const QString &folder, const SearchIndex::Answer &answer)
{
    const QString given = withoutTrailingSeparators(folder);
    for (const SearchIndex::Part &part : answer.parts) {
        if (part.walked.isValid() && (given == part.root || isBelow(given, part.root)))
            return part.walked;
    }
    return {};
}

OfflineResults::Rows OfflineResults::merge(const QStringList &walked,
                                           const SearchIndex::Answer &answer,
                                           const QStringList &givenUp)
{
    Rows rows;
    QStringList folders;
    for (const QString &folder : givenUp)
        folders << withoutTrailingSeparators(folder);
    if (folders.isEmpty() || answer.parts.isEmpty()) {
        rows.paths = walked;
        return rows;
    }
    const QSet<QString> confirmed(walked.begin(), walked.end());
    const QList<SearchIndex::Part> &parts = answer.parts;
    const QList<qsizetype> categoryOf = categoriesOf(walked, parts);

    rows.paths.reserve(walked.size());
    qsizetype next = 0; // the next line of the walk to place
    for (qsizetype c = 0; c < parts.size(); ++c) {
        const SearchIndex::Part &part = parts.at(c);
        QList<qsizetype> offline; // places in this category's index answer
        for (qsizetype k = 0; k < part.count; ++k) {
            const QString &path = answer.paths.at(part.first + k);
            if (!confirmed.contains(path) && belowAny(path, folders))
                offline << k;
        }
        if (offline.isEmpty()) {
            while (next < walked.size() && categoryOf.at(next) <= c)
                rows.paths << walked.at(next++);
            continue;
        }
        QHash<QString, qsizetype> place;
        for (qsizetype k = part.count - 1; k >= 0; --k)
            place.insert(answer.paths.at(part.first + k), k); // the first of a repeated path
        qsizetype pending = 0;
        const auto placeOfflineBefore = [&](qsizetype end) {
            for (; pending < offline.size() && offline.at(pending) < end; ++pending) {
                const QString &path = answer.paths.at(part.first + offline.at(pending));
                rows.paths << path;
                rows.offline.insert(path, part.walked);
            }
        };
        // A line the index knows fixes where the offline rows before it go; a line it
        // does not know (a folder new since) follows the line before it.
        while (next < walked.size() && categoryOf.at(next) <= c) {
            if (const auto known = place.constFind(walked.at(next)); known != place.cend())
                placeOfflineBefore(*known);
            rows.paths << walked.at(next++);
        }
        placeOfflineBefore(part.count);
        if (!rows.oldest.isValid() || part.walked < rows.oldest)
            rows.oldest = part.walked;
    }
    while (next < walked.size())
        rows.paths << walked.at(next++);
    return rows;
}

} // namespace moviecat
