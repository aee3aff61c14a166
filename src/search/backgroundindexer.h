#pragma once

#include "search/searchindex.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QProcess;

namespace moviecat {

// Writes the indexes of roots that have none, and confirms those older than a day, so
// that what typing shows is rarely stale: the helper walks them at idle priority while
// searches run as ever. Each root is tried once in a run of the window, so a NAS's disks
// are not woken again on a timer.
class BackgroundIndexer : public QObject {
    Q_OBJECT
public:
    // Where the indexer's batch goes; empty where no scratch folder can be had, and the
    // roots then stay unindexed until a search walks them.
    using BatchPlace = std::function<QString()>;

    explicit BackgroundIndexer(BatchPlace batchPlace, QObject *parent = nullptr);

    // Starts a helper for the roots not tried yet, unless one runs already.
    void index(const QStringList &roots);
    // Confirms the roots whose index is older than a day, one at a time, after the roots
    // without one; never one that was found not answering.
    void freshen(const QList<SearchIndex::Part> &parts);
    // The folders the latest search found not answering: no root holding one is confirmed.
    void setNotAnswering(const QStringList &folders);

    // The roots among parts whose index was written a day or more before now.
    static QStringList staleRoots(const QList<SearchIndex::Part> &parts, const QDateTime &now);
    // The helper at work, 0 when none runs.
    qint64 processId() const;

signals:
    // The helper has ended: some indexes may have been written.
    void indexed();

private:
    void run(const QStringList &roots);
    void startNext();
    bool answersNot(const QString &root) const;

    BatchPlace m_batchPlace;
    QStringList m_stale;        // roots waiting to be confirmed
    QStringList m_notAnswering; // folders
    QPointer<QProcess> m_indexer;
    QStringList m_tried;
};

} // namespace moviecat
