#pragma once

#include "disk/sink.h"
#include "movies/moviescan.h"

#include <QCache>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QSize>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>

namespace moviecat {

class WorkerPool;

// Finds and decodes the posters of movie folders, and reads the .nfo files of
// movie folders and video files, on worker threads, so that a slow or
// unreachable share never holds up the window. The GUI thread only queues
// entries and reads results; every file-system call (the folder's listing, the
// files' modification times, the decoding and reading) runs in a worker, and a
// movie folder's poster and .nfo come from one listing of it.
class MovieDataLoader : public QObject {
    Q_OBJECT
public:
    explicit MovieDataLoader(QObject *parent = nullptr);
    MovieDataLoader(WorkerPool &pool, QObject *parent = nullptr);
    ~MovieDataLoader() override;

    // Posters are decoded to fit this box (device pixels), aspect kept.
    void setBox(QSize box, qreal devicePixelRatio);

    // The folder's poster: null while unknown or when the folder has none.
    // Never touches the disk.
    QIcon poster(const QString &folder) const;
    // Queues the folder unless its poster is known or on its way; true when queued.
    // Its .nfo comes along if it was asked for and not read yet.
    bool request(const QString &folder);

    // What the entry's .nfo says: null while unknown or when it has none.
    // Never touches the disk.
    std::shared_ptr<const MovieInfo> info(const QString &path) const;
    // Queues the reading of a movie folder's .nfo (nfoPath empty: found in the
    // folder's listing) or of a video file's (nfoPath beside it), unless known or
    // on its way. Soon: ahead of the others (the entry is on screen).
    void requestInfo(const QString &path, const QString &nfoPath, bool soon);

    // Forgets which entries were looked at and drops the loads not yet started
    // (the view changed folders). Decoded posters and read .nfo files stay cached.
    void reset();
    // Asked just before a queued poster load starts; false drops the poster (the
    // entry scrolled out of sight), so it is queued again when it shows.
    void setWantedCheck(std::function<bool(const QString &folder)> wanted);
    // Loads are queued or running for the entries looked at since reset().
    bool isBusy() const;
    // While held, queued loads wait: the folder's own names come first.
    void setHeld(bool held);

signals:
    // The folder's poster arrived, changed or turned out missing.
    void posterChanged(const QString &folder);
    // The entry's .nfo was read, changed or turned out missing.
    void infoChanged(const QString &path);

private:
    enum class State { Queued, Loading, Found, None };
    struct Cached {
        MovieFileStamp file;
        QIcon icon;
    };
    struct CachedInfo {
        MovieFileStamp file;
        std::shared_ptr<const MovieInfo> movie;
    };
    struct Job {
        QString nfoPath;
        bool poster = false;
        bool info = false;
    };

    void enqueue(const QString &path, bool soon);
    void startQueued();
    void finished(const QString &path, const Job &job, quint64 generation, const MovieScan &scan);
    template <typename Entry>
    static void settle(QHash<QString, State> &states, QCache<QString, Entry> &cache,
                       const QString &path, MovieScan::Outcome outcome);

    WorkerPool &m_pool;
    std::shared_ptr<Sink<MovieDataLoader>> m_sink;
    // Loads queued for an earlier folder see this move on and do not start.
    std::shared_ptr<std::atomic<quint64>> m_current;
    QSize m_box{96, 96};
    qreal m_dpr = 1.0;
    std::function<bool(const QString &)> m_wanted;
    // Keyed by path; each entry remembers the file it came from, and a worker
    // decodes or reads again only when that differs.
    QCache<QString, Cached> m_cache;
    QCache<QString, CachedInfo> m_infoCache;
    QHash<QString, State> m_state;     // posters
    QHash<QString, State> m_infoState; // .nfo files
    // Waiting jobs by path; the queues may name a path twice or one no longer
    // waiting, and only what is in m_jobs counts.
    QHash<QString, Job> m_jobs;
    std::deque<QString> m_soon;
    std::deque<QString> m_later;
    quint64 m_generation = 0;
    int m_running = 0;
    bool m_startPending = false;
    bool m_held = false;
};

} // namespace moviecat
