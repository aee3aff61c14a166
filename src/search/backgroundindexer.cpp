#include "search/backgroundindexer.h"

#include "search/batchfile.h"
#include "search/helperprocess.h"
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

void BackgroundIndexer::index(const QStringList &roots)
{
#ifdef Q_OS_WIN
    Q_UNUSED(roots);
#else
    QStringList todo;
    for (const QString &root : roots) {
        if (!m_tried.contains(root))
            todo << root;
    }
    if (todo.isEmpty() || m_indexer)
        return;
    m_tried << todo;
    // Beside the searches' files under a name of its own.
    const QString batchFile = m_batchPlace();
    if (batchFile.isEmpty() ||
        ScratchFolder::writeBatch(
            batchFile, SearchBatch::compose(todo, QString(), QStringLiteral("NUL"), batchFile)))
        return;
    m_indexer = HelperProcess::create(batchFile, HelperProcess::Kind::Indexer, this);
    connect(m_indexer, &QProcess::finished, this, [this] {
        m_indexer->deleteLater();
        m_indexer = nullptr;
        emit indexed();
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
