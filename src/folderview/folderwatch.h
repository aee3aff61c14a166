#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QSocketNotifier;

namespace moviecat {

// The kernel's change notices for one folder; closing it ends the watch.
class WatchHandle;

// Runs in a worker: adding the watch looks the path up, which may wait on the
// disk. Null when the folder cannot be watched.
std::shared_ptr<WatchHandle> openWatch(const QString &folder);

// Reports changes to the shown folder of a local disk, from a handle opened
// on a worker. Reading the notices touches no disk: it only drains the
// kernel's queue.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    explicit FolderWatch(QObject *parent = nullptr);
    ~FolderWatch() override;

    // Watches through handle, in place of any earlier one.
    void watch(std::shared_ptr<WatchHandle> handle);
    void stop();

signals:
    // Entries created, deleted, renamed or written (hidden ones left out).
    void entriesChanged(const QStringList &names);
    // Track lost (too many notices), or the folder itself went or moved:
    // only reading it afresh tells what it holds.
    void lost();

private:
    void readNotices();

    std::shared_ptr<WatchHandle> m_handle;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace moviecat
