#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QProcess;

namespace moviecat {

// Writes the indexes of roots that have none: the helper walks them once, at idle
// priority, while searches run as ever. Each root is tried once in a run of the window.
class BackgroundIndexer : public QObject {
    Q_OBJECT
public:
    // Where the indexer's batch goes; empty where no scratch folder can be had, and the
    // roots then stay unindexed until a search walks them.
    using BatchPlace = std::function<QString()>;

    explicit BackgroundIndexer(BatchPlace batchPlace, QObject *parent = nullptr);

    // Starts a helper for the roots not tried yet, unless one runs already.
    void index(const QStringList &roots);
    // The helper at work, 0 when none runs.
    qint64 processId() const;

signals:
    // The helper has ended: some indexes may have been written.
    void indexed();

private:
    BatchPlace m_batchPlace;
    QPointer<QProcess> m_indexer;
    QStringList m_tried;
};

} // namespace moviecat
