#include "search/backgroundindexer.h"

#include "base/mounttable.h"
#include "search/batchfile.h"
#include "search/helperprocess.h"
#include "search/offlineresults.h"
#include "search/scratchfolder.h"

#include <QProcess>

namespace moviecat {

namespace {

// More than any walk of a few roots says; a flood beyond it is not kept.
constexpr qsizetype kMaxErrors = 1024 * 1024;

} // namespace

BackgroundIndexer::BackgroundIndexer(BatchPlace batchPlace, QObject *parent)
    : QObject(parent), m_batchPlace(std::move(batchPlace))
{}

qint64 BackgroundIndexer::processId() const
{
    return m_indexer ? m_indexer->processId() : 0;
}

QStringList BackgroundIndexer::staleRoots(const QList<SearchIndex::Part> &parts,
                                          const QDateTime &now)
{
    QStringList roots;
    for (const SearchIndex::Part &part : parts) {
        if (!part.root.isEmpty() && part.walked.isValid() && part.walked.addDays(1) <= now &&
            !roots.contains(part.root))
            roots << part.root;
    }
    return roots;
}

void BackgroundIndexer::setNotAnswering(const QStringList &folders)
{
    for (const QString &folder : folders) {
        if (!m_notAnswering.contains(folder))
            m_notAnswering << folder;
    }
    m_stale.removeIf([this](const QString &root) { return answersNot(root); });
}

bool BackgroundIndexer::onShareNotAnswering(const QString &root, const QStringList &notAnswering,
                                            const MountTable &mounts)
{
    const int rootMount = mounts.mountOf(SearchBatch::encode(root).toStdString());
    const bool onShare = rootMount >= 0 && mounts.mounts()[std::size_t(rootMount)].point != "/";
    for (const QString &folder : notAnswering) {
        if (folder == root || OfflineResults::isBelow(folder, root))
            return true;
        if (onShare && mounts.mountOf(SearchBatch::encode(folder).toStdString()) == rootMount)
            return true;
    }
    return false;
}

bool BackgroundIndexer::answersNot(const QString &root) const
{
    // The table is read, not the shares: nothing here waits on one that is off.
    return !m_notAnswering.isEmpty() &&
           onShareNotAnswering(root, m_notAnswering, MountTable::load());
}

void BackgroundIndexer::freshen(const QList<SearchIndex::Part> &parts)
{
    for (const QString &root : staleRoots(parts, QDateTime::currentDateTime())) {
        if (!m_tried.contains(root) && !m_stale.contains(root) && !answersNot(root))
            m_stale << root;
    }
    startNext();
}

void BackgroundIndexer::startNext()
{
    if (m_indexer || m_stale.isEmpty())
        return;
    const QString root = m_stale.takeFirst();
    m_tried << root;
    run({root});
}

void BackgroundIndexer::index(const QStringList &roots)
{
    QStringList todo;
    for (const QString &root : roots) {
        if (!m_tried.contains(root) && !todo.contains(root) && !answersNot(root))
            todo << root;
    }
    if (todo.isEmpty() || m_indexer)
        return;
    m_tried << todo;
    run(todo);
}

void BackgroundIndexer::run(const QStringList &roots)
{
#ifdef Q_OS_WIN
    Q_UNUSED(roots);
#else
    // Beside the searches' files under a name of its own.
    const QString batchFile = m_batchPlace();
    if (batchFile.isEmpty() ||
        ScratchFolder::writeBatch(
            batchFile, SearchBatch::compose(roots, QString(), QStringLiteral("NUL"), batchFile)))
        return;
    m_indexer = HelperProcess::create(batchFile, HelperProcess::Kind::Indexer, this);
    m_errors.clear();
    connect(m_indexer, &QProcess::readyReadStandardError, this, &BackgroundIndexer::takeErrors);
    connect(m_indexer, &QProcess::finished, this, &BackgroundIndexer::ended);
    connect(m_indexer, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_indexer->deleteLater();
            m_indexer = nullptr;
        }
    });
    m_indexer->start();
#endif
}

void BackgroundIndexer::takeErrors()
{
    const QByteArray bytes = m_indexer->readAllStandardError();
    if (m_errors.size() < kMaxErrors)
        m_errors += bytes;
}

void BackgroundIndexer::ended()
{
    takeErrors();
    setNotAnswering(SearchBatch::notAnswering(SearchBatch::skippedFolders(m_errors)));
    m_errors.clear();
    m_indexer->deleteLater();
    m_indexer = nullptr;
    emit indexed();
    startNext();
}

} // namespace moviecat
