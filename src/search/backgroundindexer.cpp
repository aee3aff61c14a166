#include "search/backgroundindexer.h"

#include "search/batchfile.h"
#include "search/helperprocess.h"
#include "search/offlineresults.h"
#include "search/scratchfolder.h"

#include <QProcess>

namespace moviecat {

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
    m_notAnswering = folders;
    m_stale.removeIf([this](const QString &root) { return answersNot(root); });
}

bool BackgroundIndexer::answersNot(const QString &root) const
{
    for (const QString &folder : m_notAnswering) {
        if (folder == root || OfflineResults::isBelow(folder, root))
            return true;
    }
    return false;
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
        if (!m_tried.contains(root) && !todo.contains(root))
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
    connect(m_indexer, &QProcess::finished, this, [this] {
        m_indexer->deleteLater();
        m_indexer = nullptr;
        emit indexed();
        startNext();
    });
    connect(m_indexer, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_indexer->deleteLater();
            m_indexer = nullptr;
        }
    });
    m_indexer->start();
#endif
}

} // namespace moviecat
