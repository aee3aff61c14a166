#include "search/searchindex.h"

#include "base/paths.h"
#include "index/indexform.h"
#include "search/batchfile.h"
#include "ui/datetext.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace moviecat {

struct SearchIndex::Work {
    std::shared_ptr<const Snapshot> snapshot;
    Answer answer;
};

SearchIndex::SearchIndex(QObject *parent)
    : QObject(parent), m_snapshot(std::make_shared<const Snapshot>())
{}

SearchIndex::~SearchIndex() = default;

QString SearchIndex::shownTime(const QDateTime &walked)
{
    return dateText(walked, DateDetail::Minute);
}

QString SearchIndex::rootOf(const QString &categoryPath)
{
    if (SearchBatch::pathRefusal(categoryPath))
        return {};
    return SearchBatch::decode(
        QByteArray::fromStdString(absoluteFolder(SearchBatch::encode(categoryPath).toStdString())));
}

void SearchIndex::refresh(const QStringList &categoryPaths)
{
    run(categoryPaths, nullptr, {}, {});
}

void SearchIndex::query(const QStringList &categoryPaths, const QString &text,
                        std::function<void(const Answer &)> done, FolderFilter filter,
                        Abandoned abandoned)
{
    run(categoryPaths, &text, std::move(done), {{}, std::move(filter), std::move(abandoned)});
}

void SearchIndex::run(const QStringList &categoryPaths, const QString *text,
                      std::function<void(const Answer &)> done, Asked asked)
{
    QStringList roots;
    for (const QString &path : categoryPaths.mid(0, SearchBatch::maxCategories))
        roots << rootOf(path);
    // The helper reads "*text*" as a name pattern below the folder; a separator in the
    // text makes it another folder, which only the walk can answer.
    if (text && !text->contains(QLatin1Char('/')))
        asked.query = index::indexQuery(
            SearchBatch::encode(QLatin1Char('*') + *text + QLatin1Char('*')).toStdString());
    const bool answering = text != nullptr;
    const std::string folder = index::cacheFolder();

    auto *watcher = new QFutureWatcher<Work>(this);
    connect(watcher, &QFutureWatcher<Work>::finished, this,
            [this, watcher, answering, done = std::move(done)] {
                const Work work = watcher->result();
                watcher->deleteLater();
                m_snapshot = work.snapshot;
                if (answering) {
                    done(work.answer);
                } else {
                    emit refreshed(work.answer.unindexed);
                    emit checked(work.answer.parts);
                }
            });
    watcher->setFuture(QtConcurrent::run([old = m_snapshot, roots, asked = std::move(asked),
                                          folder] { return answer(*old, roots, asked, folder); }));
}

// On a worker: each root's index, the one held when its file has not changed since.
SearchIndex::Work SearchIndex::answer(const Snapshot &old, const QStringList &roots,
                                      const Asked &asked, const std::string &folder)
{
    auto fresh = std::make_shared<Snapshot>();
    Work work;
    for (const QString &root : roots) {
        Part &part = work.answer.parts.emplace_back();
        part.root = root;
        part.first = work.answer.paths.size();
        if (root.isEmpty())
            continue;
        const std::string key = SearchBatch::encode(root).toStdString();
        const std::optional<Loaded> loaded = load(old, folder, key);
        if (!loaded) {
            work.answer.unindexed << root;
            continue;
        }
        (*fresh)[key] = *loaded;
        work.answer.any = true;
        const QDateTime walked = QDateTime::fromSecsSinceEpoch(loaded->index->header().walkTime);
        if (!work.answer.walked.isValid() || walked < work.answer.walked)
            work.answer.walked = walked;
        part.walked = walked;
        if (asked.query && !(asked.abandoned && asked.abandoned())) {
            // Folder numbers only: a path is made when its row is shown.
            std::vector<std::uint32_t> found = asked.query->run(*loaded->index);
            if (asked.filter)
                std::erase_if(found,
                              [&](std::uint32_t f) { return !asked.filter(*loaded->index, f); });
            work.answer.paths.append(loaded->index, std::move(found));
        }
        part.count = work.answer.paths.size() - part.first;
    }
    work.snapshot = std::move(fresh);
    return work;
}

std::optional<SearchIndex::Loaded>
SearchIndex::load(const Snapshot &held, const std::string &folder, const std::string &key)
{
    const std::optional<index::FileStamp> stamp =
        folder.empty() ? std::nullopt : index::stampOf(index::indexPath(folder, key));
    if (!stamp)
        return std::nullopt;
    const auto kept = held.find(key);
    if (kept != held.end() && kept->second.stamp == *stamp)
        return kept->second;
    index::FileStamp read;
    std::optional<index::FolderIndex> parsed = index::loadIndex(folder, key, &read);
    if (!parsed)
        return std::nullopt;
    return Loaded{std::make_shared<const index::FolderIndex>(std::move(*parsed)), read};
}

} // namespace moviecat
