#pragma once

#include "search/searchindex.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QProcess;

namespace moviecat {

class MountTable;

// Writes the indexes of roots that have none, and confirms those older than a day, so
// that what typing shows is rarely stale: the helper walks them at idle priority while
// searches run as ever. Each root is tried once in a run of the window, so a NAS's disks
// are not woken again on a timer; a share that did not answer a walk, a search's or its
// own, is tried no more, through any of its roots.
class BackgroundIndexer : public QObject {
    Q_OBJECT
public:
    // Where the indexer's batch goes; empty where no scratch folder can be had, and the
    // roots then stay unindexed until a search walks them.
    using BatchPlace = std::function<QString()>;

    explicit BackgroundIndexer(BatchPlace batchPlace, QObject *parent = nullptr);

    // Starts a helper for the roots not tried yet, unless one runs already; never for one
    // on a share found not answering.
    void index(const QStringList &roots);
    // Confirms the roots whose index is older than a day, one at a time, after the roots
    // without one; never one that was found not answering.
    void freshen(const QList<SearchIndex::Part> &parts);
    // Folders a search found not answering: no root on their share is confirmed.
    void setNotAnswering(const QStringList &folders);

    // The roots among parts whose index was written a day or more before now.
    static QStringList staleRoots(const QList<SearchIndex::Part> &parts, const QDateTime &now);
    // Whether root holds one of these folders, or lies on the mount of one: all of a
    // share is off when part of it is. The system's root file system never counts as a
    // share.
    static bool onShareNotAnswering(const QString &root, const QStringList &notAnswering,
                                    const MountTable &mounts);
    // The helper at work, 0 when none runs.
    qint64 processId() const;

signals:
    // The helper has ended: some indexes may have been written.
    void indexed();

private:
    void run(const QStringList &roots);
    void startNext();
    bool answersNot(const QString &root) const;
    void takeErrors();
    void ended();

    BatchPlace m_batchPlace;
    QStringList m_stale;        // roots waiting to be confirmed
    QStringList m_notAnswering; // folders
    QByteArray m_errors;        // what the helper at work has said of the folders it skipped
    QPointer<QProcess> m_indexer;
    QStringList m_tried;
};

} // namespace moviecat
