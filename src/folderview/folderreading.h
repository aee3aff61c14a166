#pragma once

#include "disk/sink.h"
#include "folderview/folderentry.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <memory>
#include <vector>

namespace moviecat {

class WatchHandle;
class WorkerPool;

// Reads one folder at a time on workers and hands over what they find: names
// and kinds first, as soon as they are read, then sizes and dates from stat
// calls issued several at a time. Nothing here waits on the disk. Answers for
// a folder no longer read are dropped here; a folder that never answered is
// not read twice: showing it again waits on the same reading.
class FolderReading : public QObject {
    Q_OBJECT
public:
    enum class State {
        NoFolder,     // nothing being read
        Reading,      // names still coming (or none yet)
        NotAnswering, // nothing has come for a while
        Failed,       // the folder could not be read; failure() says why
        Listed,       // every name handed over; sizes and dates may still come
        Complete,
    };
    Q_ENUM(State)

    FolderReading(std::shared_ptr<FolderLister> lister, WorkerPool &pool,
                  QObject *parent = nullptr);
    ~FolderReading() override;

    // Drops the reading under way and reads folder (an absolute path).
    void start(const QString &folder);
    void stop();
    // Kinds, sizes and dates of these names, as factsArrived.
    void stat(const QStringList &names);
    // These names changed on the disk: looked at again, as changesArrived.
    void recheck(const QStringList &names);

    State state() const { return m_state; }
    // The errno of a failed reading.
    int failure() const { return m_failure; }
    // How long a reading may stay silent before it counts as not answering.
    void setQuietLimit(std::chrono::milliseconds limit);

signals:
    void namesArrived(const std::vector<moviecat::FolderEntry> &entries);
    void factsArrived(const std::vector<moviecat::NamedFacts> &facts);
    // present: the rechecked names still there, with their facts; facts: all of them.
    void changesArrived(const std::vector<moviecat::FolderEntry> &present,
                        const std::vector<moviecat::NamedFacts> &facts);
    // The folder is on a disk that reports its changes.
    void watchOpened(std::shared_ptr<moviecat::WatchHandle> handle);
    void stateChanged(moviecat::FolderReading::State state);

private:
    struct Listing;
    using ReadingSink = Sink<FolderReading>;
    static void read(const std::shared_ptr<Listing> &listing,
                     const std::shared_ptr<ReadingSink> &sink);
    static void statNext(const std::shared_ptr<Listing> &listing,
                         const std::shared_ptr<ReadingSink> &sink);

    void startListing(const QString &folder);
    void setState(State state);
    bool isCurrent(const std::shared_ptr<Listing> &listing);
    void waiting(const std::shared_ptr<Listing> &listing);
    void take();
    void listed(const std::shared_ptr<Listing> &listing, int error, int factTasks);
    void factTaskDone(const std::shared_ptr<Listing> &listing);
    void startRecheck();
    void rechecked(const std::shared_ptr<Listing> &listing, std::vector<FolderEntry> &present,
                   std::vector<NamedFacts> &facts);

    std::shared_ptr<FolderLister> m_lister;
    WorkerPool &m_pool;
    std::shared_ptr<ReadingSink> m_sink;
    std::shared_ptr<Listing> m_listing;
    // Readings that have not answered at all yet, by folder.
    QHash<QString, std::shared_ptr<Listing>> m_unanswered;
    State m_state = State::NoFolder;
    int m_failure = 0;
    QTimer m_quiet;
    // Takes what the workers hold: soon after the first name, then at a steady
    // pace, so that a stall never holds back what was read before it.
    QTimer m_take;
    bool m_takenOnce = false;
    QSet<QString> m_toRecheck;
    bool m_recheckRunning = false;
};

} // namespace moviecat
