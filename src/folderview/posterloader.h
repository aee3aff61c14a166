#pragma once

#include "folderview/sink.h"

#include <QCache>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>

namespace moviecat {

class WorkerPool;

// Rank of a file name among the poster names (poster, folder, cover, default,
// movie, each with .jpg, .jpeg, .png, .webp, in that order), ignoring case:
// lower wins, -1 when the name is not a poster's.
int posterRank(const QString &fileName);

// Finds and decodes the posters of movie folders on worker threads, so that a
// slow or unreachable share never holds up the window. The GUI thread only
// queues folders and reads results; every file-system call (the folder's
// listing, the poster's modification time, the decoding) runs in a worker.
class PosterLoader : public QObject {
    Q_OBJECT
public:
    explicit PosterLoader(QObject *parent = nullptr);
    PosterLoader(WorkerPool &pool, QObject *parent = nullptr);
    ~PosterLoader() override;

    // Posters are decoded to fit this box (device pixels), aspect kept.
    void setBox(QSize box, qreal devicePixelRatio);

    // The folder's poster: null while unknown or when the folder has none.
    // Never touches the disk.
    QIcon poster(const QString &folder) const;
    // Queues the folder unless its poster is known or on its way; true when queued.
    bool request(const QString &folder);
    // Forgets which folders were looked at and drops the loads not yet started
    // (the view changed folders). Decoded posters stay cached.
    void reset();
    // Asked just before a queued load starts; false drops the load (the entry
    // scrolled out of sight), so it is queued again when it shows.
    void setWantedCheck(std::function<bool(const QString &folder)> wanted);
    // Loads are queued or running for the folders looked at since reset().
    bool isBusy() const;

signals:
    // The folder's poster arrived, changed or turned out missing.
    void posterChanged(const QString &folder);

public:
    // What a worker found; public for the worker function only.
    struct Found {
        enum class Kind { None, Unchanged, Image };
        Kind kind = Kind::None;
        QString folder;
        QString posterPath;
        qint64 modified = 0;
        qint64 size = 0;
        QImage image;
        quint64 generation = 0;
    };

private:
    enum class State { Queued, Loading, Found, None };
    struct Cached {
        QString posterPath;
        qint64 modified = 0;
        qint64 size = 0;
        QIcon icon;
    };

    void startQueued();
    void finished(const Found &found);

    WorkerPool &m_pool;
    std::shared_ptr<Sink<PosterLoader>> m_sink;
    // Loads queued for an earlier folder see this move on and do not start.
    std::shared_ptr<std::atomic<quint64>> m_current;
    QSize m_box{96, 96};
    qreal m_dpr = 1.0;
    std::function<bool(const QString &)> m_wanted;
    // Keyed by folder; each entry remembers the poster's path, time and size it
    // was decoded from, and a worker decodes again only when those differ.
    QCache<QString, Cached> m_cache;
    QHash<QString, State> m_state;
    std::deque<QString> m_queue;
    quint64 m_generation = 0;
    int m_running = 0;
    bool m_startPending = false;
};

} // namespace moviecat
