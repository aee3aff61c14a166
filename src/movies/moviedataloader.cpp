#include "movies/moviedataloader.h"

#include "disk/sink.h"
#include "disk/workerpool.h"

#include <QPixmap>
#include <algorithm>
#include <utility>

namespace moviecat {

namespace {

using namespace std::chrono_literals;

// Roughly 1,600 posters at 64 x 96 pixels; the .nfo files get the same budget.
constexpr qsizetype cacheBytes = 40 * 1024 * 1024;
// Loads of the shown folder running at once: enough to hide a share's latency,
// few enough to leave the GUI thread a core and the folder's own reading its workers.
constexpr int maxRunning = 4;

qsizetype costOf(const MovieInfo &movie, const MovieFileStamp &file)
{
    return qsizetype(sizeof(MovieInfo)) + 2 * (movie.title.size() + movie.originalTitle.size() +
                                               movie.plot.size() + file.path.size());
}

// Workers of their own: on a share, the folder's reading keeps the shared pool's
// threads busy with stat calls for seconds, and the entries in sight must not wait
// behind them.
WorkerPool &movieFolderPool()
{
    // Never destroyed: at exit a worker may still hang on a dead share.
    static auto *pool = new WorkerPool(WorkerPool::Limits{maxRunning, 32, 250ms, 20s});
    return *pool;
}

} // namespace

MovieDataLoader::MovieDataLoader(QObject *parent) : MovieDataLoader(movieFolderPool(), parent) {}

MovieDataLoader::MovieDataLoader(WorkerPool &pool, QObject *parent)
    : QObject(parent), m_pool(pool), m_sink(std::make_shared<Sink<MovieDataLoader>>(this)),
      m_current(std::make_shared<std::atomic<quint64>>(0)), m_cache(cacheBytes),
      m_infoCache(cacheBytes)
{}

MovieDataLoader::~MovieDataLoader()
{
    // Nothing waits for the workers: one may hang on an unreachable share, and
    // they touch only their own data and the sink.
    m_sink->detach();
    m_current->store(m_generation + 1);
}

void MovieDataLoader::setBox(QSize box, qreal devicePixelRatio)
{
    m_box = box;
    m_dpr = devicePixelRatio;
}

QIcon MovieDataLoader::poster(const QString &folder) const
{
    const auto state = m_state.constFind(folder);
    if (state != m_state.constEnd() && *state == State::None)
        return {};
    // While a folder is looked at again, its cached poster shows.
    if (const Cached *cached = m_cache.object(folder))
        return cached->icon;
    return {};
}

std::shared_ptr<const MovieInfo> MovieDataLoader::info(const QString &path) const
{
    const auto state = m_infoState.constFind(path);
    if (state != m_infoState.constEnd() && *state == State::None)
        return {};
    if (const CachedInfo *cached = m_infoCache.object(path))
        return cached->movie;
    return {};
}

bool MovieDataLoader::request(const QString &folder)
{
    const auto state = m_state.constFind(folder);
    if (state != m_state.constEnd()) {
        // A found poster can have left the cache since; look again then.
        if (*state != State::Found || m_cache.contains(folder))
            return false;
    }
    m_state.insert(folder, State::Queued);
    m_jobs[folder].poster = true;
    enqueue(folder, true);
    return true;
}

void MovieDataLoader::requestInfo(const QString &path, const QString &nfoPath, bool soon)
{
    const auto state = m_infoState.constFind(path);
    if (state != m_infoState.constEnd()) {
        // Queued behind the others: an entry come into sight moves it ahead.
        if (*state == State::Queued && soon)
            enqueue(path, true);
        if (*state != State::Found || m_infoCache.contains(path))
            return;
    }
    m_infoState.insert(path, State::Queued);
    Job &job = m_jobs[path];
    job.info = true;
    job.nfoPath = nfoPath;
    enqueue(path, soon);
}

void MovieDataLoader::enqueue(const QString &path, bool soon)
{
    (soon ? m_soon : m_later).push_back(path);
    if (!m_startPending) {
        // Started from the event loop: requests come in while the view paints,
        // and the whole screen's worth is queued before any is weighed.
        m_startPending = true;
        QMetaObject::invokeMethod(this, &MovieDataLoader::startQueued, Qt::QueuedConnection);
    }
}

void MovieDataLoader::reset()
{
    ++m_generation;
    // Loads that a dead share keeps from starting are dropped with the rest.
    m_current->store(m_generation);
    m_soon.clear();
    m_later.clear();
    m_jobs.clear();
    m_state.clear();
    m_infoState.clear();
    // Loads already running finish in the background; what they find is cached
    // but counts no more against the new folder's share of the workers.
    m_running = 0;
}

void MovieDataLoader::setWantedCheck(std::function<bool(const QString &)> wanted)
{
    m_wanted = std::move(wanted);
}

bool MovieDataLoader::isBusy() const
{
    return m_running > 0 || !m_jobs.isEmpty();
}

void MovieDataLoader::setHeld(bool held)
{
    m_held = held;
    if (!held)
        startQueued();
}

void MovieDataLoader::startQueued()
{
    m_startPending = false;
    if (m_held)
        return;
    while (m_running < maxRunning && !(m_soon.empty() && m_later.empty())) {
        std::deque<QString> &queue = m_soon.empty() ? m_later : m_soon;
        const QString path = queue.front();
        queue.pop_front();
        const auto waiting = m_jobs.constFind(path);
        if (waiting == m_jobs.constEnd())
            continue;
        Job job = *waiting;
        m_jobs.erase(waiting);
        if (job.poster && m_wanted && !m_wanted(path)) {
            m_state.remove(path);
            job.poster = false;
        }
        if (!job.poster && !job.info)
            continue;

        MovieScanTask task{path, job.nfoPath, job.poster, job.info, m_box, {}, {}};
        if (job.poster) {
            m_state.insert(path, State::Loading);
            if (const Cached *cached = m_cache.object(path))
                task.knownPoster = cached->file;
        }
        if (job.info) {
            m_infoState.insert(path, State::Loading);
            if (const CachedInfo *cached = m_infoCache.object(path))
                task.knownNfo = cached->file;
        }
        ++m_running;
        m_pool.start([task, job, generation = m_generation, sink = m_sink, current = m_current] {
            if (current->load() != generation)
                return;
            const MovieScan scan = scanMovieEntry(task);
            sink->post([task, job, generation, scan](MovieDataLoader *loader) {
                loader->finished(task.path, job, generation, scan);
            });
        });
    }
}

void MovieDataLoader::finished(const QString &path, const Job &job, quint64 generation,
                               const MovieScan &scan)
{
    // What was paid for is kept, even for a folder no longer shown.
    if (job.poster && scan.poster == MovieScan::Outcome::Read) {
        QPixmap pixmap = QPixmap::fromImage(scan.image);
        pixmap.setDevicePixelRatio(m_dpr);
        const qsizetype cost = qsizetype(scan.image.sizeInBytes());
        m_cache.insert(path, new Cached{scan.posterFile, QIcon(pixmap)},
                       std::max<qsizetype>(cost, 1));
    }
    if (job.info && scan.info == MovieScan::Outcome::Read)
        m_infoCache.insert(path, new CachedInfo{scan.nfoFile, scan.movie},
                           costOf(*scan.movie, scan.nfoFile));
    if (generation != m_generation)
        return;
    --m_running;
    if (job.poster) {
        settle(m_state, m_cache, path, scan.poster);
        emit posterChanged(path);
    }
    if (job.info) {
        settle(m_infoState, m_infoCache, path, scan.info);
        emit infoChanged(path);
    }
    startQueued();
}

// Where a finished load leaves the entry: found while the cache holds what was read,
// none when there was nothing, and not looked at when the cache let go of it while
// the worker looked (read again next time).
template <typename Entry>
void MovieDataLoader::settle(QHash<QString, State> &states, QCache<QString, Entry> &cache,
                             const QString &path, MovieScan::Outcome outcome)
{
    switch (outcome) {
    case MovieScan::Outcome::None:
        cache.remove(path);
        states.insert(path, State::None);
        break;
    case MovieScan::Outcome::Unchanged:
        if (cache.contains(path))
            states.insert(path, State::Found);
        else
            states.remove(path);
        break;
    case MovieScan::Outcome::Read:
        states.insert(path, cache.contains(path) ? State::Found : State::None);
        break;
    }
}

} // namespace moviecat
