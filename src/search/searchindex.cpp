#include "search/searchindex.h"

#include "base/paths.h"
#include "index/indexform.h"
#include "search/batchfile.h"

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
    return walked.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
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
    run(categoryPaths, nullptr, {});
}

void SearchIndex::query(const QStringList &categoryPaths, const QString &text,
                        std::function<void(const Answer &)> done)
{
    run(categoryPaths, &text, std::move(done));
}

void SearchIndex::run(const QStringList &categoryPaths, const QString *text,
                      std::function<void(const Answer &)> done)
{
    QStringList roots;
    for (const QString &path : categoryPaths.mid(0, SearchBatch::maxCategories))
        roots << rootOf(path);
    // The helper reads "*text*" as a name pattern below the folder; a separator in the
    // text makes it another folder, which only the walk can answer.
    std::optional<index::IndexQuery> query;
    if (text && !text->contains(QLatin1Char('/')))
        query = index::indexQuery(
            SearchBatch::encode(QLatin1Char('*') + *text + QLatin1Char('*')).toStdString());
    const bool asked = text != nullptr;
    const std::string folder = index::cacheFolder();

    auto *watcher = new QFutureWatcher<Work>(this);
    connect(watcher, &QFutureWatcher<Work>::finished, this,
            [this, watcher, asked, done = std::move(done)] {
                const Work work = watcher->result();
                watcher->deleteLater();
                m_snapshot = work.snapshot;
                if (asked)
                    done(work.answer);
                else
                    emit refreshed(work.answer.unindexed);
            });
    watcher->setFuture(QtConcurrent::run([old = m_snapshot, roots, query, folder] {
        auto fresh = std::make_shared<Snapshot>();
        Work work;
        for (const QString &root : roots) {
            Part &part = work.answer.parts.emplace_back();
            part.root = root;
            part.first = work.answer.paths.size();
            if (root.isEmpty())
                continue;
            const std::string key = SearchBatch::encode(root).toStdString();
            std::optional<Loaded> loaded;
            const std::optional<index::FileStamp> stamp =
                folder.empty() ? std::nullopt : index::stampOf(index::indexPath(folder, key));
            const auto held = old->find(key);
            if (stamp && held != old->end() && held->second.stamp == *stamp) {
                loaded = held->second;
            } else if (stamp) {
                index::FileStamp read;
                if (auto parsed = index::loadIndex(folder, key, &read))
                    loaded = Loaded{std::make_shared<const index::FolderIndex>(std::move(*parsed)),
                                    read};
            }
            if (!loaded) {
                work.answer.unindexed << root;
                continue;
            }
            (*fresh)[key] = *loaded;
            work.answer.any = true;
            const QDateTime walked =
                QDateTime::fromSecsSinceEpoch(loaded->index->header().walkTime);
            if (!work.answer.walked.isValid() || walked < work.answer.walked)
                work.answer.walked = walked;
            part.walked = walked;
            if (query) {
                for (const std::uint32_t found : query->run(*loaded->index))
                    work.answer.paths << SearchBatch::decode(
                        QByteArray::fromStdString(loaded->index->path(found)));
            }
            part.count = work.answer.paths.size() - part.first;
        }
        work.snapshot = std::move(fresh);
        return work;
    }));
}

} // namespace moviecat
