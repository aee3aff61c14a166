#include "folderview/posterloader.h"

#include "folderview/folderlister.h"
#include "folderview/sink.h"
#include "folderview/workerpool.h"
#include "ui/filenames.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <array>
#include <atomic>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace moviecat {

namespace {

// Roughly 1,600 posters at 64 x 96 pixels.
constexpr qsizetype cacheBytes = 40 * 1024 * 1024;
// Loads of the shown folder running at once: enough to hide a share's latency,
// few enough to leave the GUI thread a core.
constexpr int maxRunning = 4;

QImage decodeScaled(const QString &path, QSize box)
{
    // Opened by its bytes: QFile would look for the name's U+FFFD stand-ins instead.
    const int fd = ::open(FileNames::toBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > box.width() || full.height() > box.height()))
        reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    // Formats that cannot decode scaled, and turned pictures, arrive too big.
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // A thin frame sets light posters off the white background.
    QPainter frame(&image);
    frame.setPen(QColor(0, 0, 0, 90));
    frame.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

// Runs in a worker: one listing of the folder, one stat of the chosen file, and
// a decode unless the cached poster is still current.
PosterLoader::Found lookForPoster(PosterLoader::Found known, QSize box)
{
    PosterLoader::Found found;
    found.folder = known.folder;
    found.generation = known.generation;

    // The folder view's own calls, which keep every name's bytes.
    static const std::shared_ptr<FolderLister> lister = systemFolderLister();
    std::vector<std::pair<int, QString>> candidates;
    // Names only, so that the listing itself needs no stat per entry.
    lister->list(known.folder, [&](ListedName &&listed) {
        const int rank = posterRank(listed.name);
        if (rank >= 0)
            candidates.emplace_back(rank, std::move(listed.name));
        return true;
    });
    std::sort(candidates.begin(), candidates.end());

    for (const auto &candidate : candidates) {
        const EntryFacts facts = lister->facts(known.folder, candidate.second);
        if (!facts.exists || facts.kind != EntryKind::File)
            continue;
        found.posterPath = joinPath(known.folder, candidate.second);
        found.modified = facts.modifiedMs;
        found.size = facts.size;
        break;
    }
    if (found.posterPath.isEmpty())
        return found;
    if (found.posterPath == known.posterPath && found.modified == known.modified &&
        found.size == known.size) {
        found.kind = PosterLoader::Found::Kind::Unchanged;
        return found;
    }
    found.image = decodeScaled(found.posterPath, box);
    // A damaged or unreadable picture counts as no poster.
    found.kind =
        found.image.isNull() ? PosterLoader::Found::Kind::None : PosterLoader::Found::Kind::Image;
    return found;
}

} // namespace

int posterRank(const QString &fileName)
{
    static const std::array<QLatin1String, 5> names = {
        QLatin1String("poster"), QLatin1String("folder"), QLatin1String("cover"),
        QLatin1String("default"), QLatin1String("movie")};
    static const std::array<QLatin1String, 4> endings = {
        QLatin1String(".jpg"), QLatin1String(".jpeg"), QLatin1String(".png"),
        QLatin1String(".webp")};
    for (std::size_t n = 0; n < names.size(); ++n) {
        if (!fileName.startsWith(names[n], Qt::CaseInsensitive))
            continue;
        const QStringView rest = QStringView(fileName).mid(names[n].size());
        for (std::size_t e = 0; e < endings.size(); ++e) {
            if (rest.compare(endings[e], Qt::CaseInsensitive) == 0)
                return int(n * endings.size() + e);
        }
    }
    return -1;
}

PosterLoader::PosterLoader(QObject *parent) : PosterLoader(WorkerPool::shared(), parent) {}

PosterLoader::PosterLoader(WorkerPool &pool, QObject *parent)
    : QObject(parent), m_pool(pool), m_sink(std::make_shared<Sink<PosterLoader>>(this)),
      m_current(std::make_shared<std::atomic<quint64>>(0)), m_cache(cacheBytes)
{}

PosterLoader::~PosterLoader()
{
    // Nothing waits for the workers: one may hang on an unreachable share, and
    // they touch only their own data and the sink.
    m_sink->detach();
    m_current->store(m_generation + 1);
}

void PosterLoader::setBox(QSize box, qreal devicePixelRatio)
{
    m_box = box;
    m_dpr = devicePixelRatio;
}

QIcon PosterLoader::poster(const QString &folder) const
{
    const auto state = m_state.constFind(folder);
    if (state != m_state.constEnd() && *state == State::None)
        return {};
    // While a folder is looked at again, its cached poster shows.
    if (const Cached *cached = m_cache.object(folder))
        return cached->icon;
    return {};
}

bool PosterLoader::request(const QString &folder)
{
    const auto state = m_state.constFind(folder);
    if (state != m_state.constEnd()) {
        // A found poster can have left the cache since; look again then.
        if (*state != State::Found || m_cache.contains(folder))
            return false;
    }
    m_state.insert(folder, State::Queued);
    m_queue.push_back(folder);
    if (!m_startPending) {
        // Started from the event loop: requests come in while the view paints,
        // and the whole screen's worth is queued before any is weighed.
        m_startPending = true;
        QMetaObject::invokeMethod(this, &PosterLoader::startQueued, Qt::QueuedConnection);
    }
    return true;
}

void PosterLoader::reset()
{
    ++m_generation;
    // Loads that a dead share keeps from starting are dropped with the rest.
    m_current->store(m_generation);
    m_queue.clear();
    m_state.clear();
    // Loads already running finish in the background; their posters are cached
    // but count no more against the new folder's share of the workers.
    m_running = 0;
}

void PosterLoader::setWantedCheck(std::function<bool(const QString &)> wanted)
{
    m_wanted = std::move(wanted);
}

bool PosterLoader::isBusy() const
{
    return m_running > 0 || !m_queue.empty();
}

void PosterLoader::startQueued()
{
    m_startPending = false;
    while (m_running < maxRunning && !m_queue.empty()) {
        const QString folder = m_queue.front();
        m_queue.pop_front();
        if (m_wanted && !m_wanted(folder)) {
            m_state.remove(folder);
            continue;
        }
        m_state.insert(folder, State::Loading);
        ++m_running;

        Found known;
        known.folder = folder;
        known.generation = m_generation;
        if (const Cached *cached = m_cache.object(folder)) {
            known.posterPath = cached->posterPath;
            known.modified = cached->modified;
            known.size = cached->size;
        }
        const QSize box = m_box;
        m_pool.start([known, box, sink = m_sink, current = m_current] {
            if (current->load() != known.generation)
                return;
            const Found found = lookForPoster(known, box);
            sink->post([found](PosterLoader *loader) { loader->finished(found); });
        });
    }
}

void PosterLoader::finished(const Found &found)
{
    if (found.kind == Found::Kind::Image) {
        QPixmap pixmap = QPixmap::fromImage(found.image);
        pixmap.setDevicePixelRatio(m_dpr);
        auto *cached = new Cached{found.posterPath, found.modified, found.size, QIcon(pixmap)};
        const qsizetype cost = qsizetype(found.image.sizeInBytes());
        // Posters of an earlier folder are kept too: they were paid for.
        m_cache.insert(found.folder, cached, std::max<qsizetype>(cost, 1));
    }
    if (found.generation != m_generation)
        return;
    --m_running;

    switch (found.kind) {
    case Found::Kind::None:
        m_cache.remove(found.folder);
        m_state.insert(found.folder, State::None);
        break;
    case Found::Kind::Unchanged:
        if (m_cache.contains(found.folder)) {
            m_state.insert(found.folder, State::Found);
        } else {
            // Pushed out of the cache while the worker looked; decode next time.
            m_state.remove(found.folder);
        }
        break;
    case Found::Kind::Image:
        m_state.insert(found.folder, m_cache.contains(found.folder) ? State::Found : State::None);
        break;
    }
    emit posterChanged(found.folder);
    startQueued();
}

} // namespace moviecat
