#include "folderview/folderreading.h"

#include "disk/workerpool.h"
#include "folderview/folderwatch.h"

#include <QMimeDatabase>
#include <QMutex>
#include <algorithm>
#include <atomic>
#include <cerrno>

namespace moviecat {

namespace {

using namespace std::chrono_literals;

// The first names go out quickly, later ones in fewer, larger batches; within
// a tenth of a second, whatever the lister does next.
constexpr auto firstTakeAfter = 30ms;
constexpr auto takeEvery = 90ms;
// Stat calls in flight at once: a share's latency is the limit, not the cores.
constexpr int localFactTasks = 2;
constexpr int shareFactTasks = 12;
constexpr auto defaultQuietLimit = 10s;

// What workers have gathered and the window's thread has not taken yet.
template <typename Item> class HeldBatch {
public:
    // True when the batch was empty: the taker has to be told.
    bool add(Item item)
    {
        QMutexLocker lock(&m_mutex);
        m_items.push_back(std::move(item));
        return m_items.size() == 1;
    }
    std::vector<Item> take()
    {
        QMutexLocker lock(&m_mutex);
        return std::exchange(m_items, {});
    }

private:
    QMutex m_mutex;
    std::vector<Item> m_items;
};

} // namespace

// One reading of one folder, shared by the workers that do it.
struct FolderReading::Listing {
    Listing(QString f, std::shared_ptr<FolderLister> l, WorkerPool &p)
        : folder(std::move(f)), lister(std::move(l)), pool(p)
    {}

    const QString folder;
    const std::shared_ptr<FolderLister> lister;
    WorkerPool &pool;
    // Set while the folder is not shown; the workers stop at the next entry.
    std::atomic<bool> abandoned{false};
    HeldBatch<FolderEntry> names;
    HeldBatch<NamedFacts> facts;
    // Names in the order first shown, so that the entries on screen get their
    // sizes and dates first. Written before the stat tasks start.
    std::vector<QString> toStat;
    std::atomic<std::size_t> nextStat{0};

    // The window's thread only.
    bool anyNames = false;
    bool namesDone = false;
    int factTasks = 0;
};

// ---- Workers ---------------------------------------------------------------

void FolderReading::read(const std::shared_ptr<Listing> &listing,
                         const std::shared_ptr<ReadingSink> &sink)
{
    const QString &folder = listing->folder;
    // Asked once: it may cost a round trip to the server.
    const bool local = listing->lister->sendsChangeNotices(folder);
    if (local) {
        // Before the listing, so that no change made during it goes unseen.
        if (std::shared_ptr<WatchHandle> handle = openWatch(folder)) {
            sink->post([listing, handle](FolderReading *reading) {
                if (reading->isCurrent(listing))
                    emit reading->watchOpened(handle);
            });
        }
    }
    const QCollator collator = entryCollator();
    const QMimeDatabase mimes;
    struct Order {
        QCollatorSortKey key;
        bool folder;
        std::size_t listed;
    };
    std::vector<Order> order;
    std::vector<QString> names;
    // Whether this worker left names out. Read again after the listing, the flag could
    // already say the folder is shown again, and the names it declined would be lost.
    bool stopped = false;
    const int error = listing->lister->list(folder, [&](ListedName &&listed) {
        if (listing->abandoned) {
            stopped = true;
            return false;
        }
        FolderEntry entry = makeEntry(std::move(listed), collator, mimes);
        order.push_back({entry.key, entry.kind == EntryKind::Folder, names.size()});
        names.push_back(entry.name);
        if (listing->names.add(std::move(entry))) {
            sink->post([listing](FolderReading *reading) { reading->waiting(listing); });
        }
        return true;
    });
    stopped = stopped || listing->abandoned;
    const int tasks = stopped || error != 0 ? 0
                      : local               ? std::min<int>(localFactTasks, int(names.size()))
                                            : std::min<int>(shareFactTasks, int(names.size()));
    sink->post([listing, error = stopped ? ECANCELED : error, tasks](FolderReading *reading) {
        reading->listed(listing, error, tasks);
    });
    if (tasks == 0)
        return;
    // Folders first in natural order, as the view first shows them.
    std::sort(order.begin(), order.end(), [](const Order &a, const Order &b) {
        if (a.folder != b.folder)
            return a.folder;
        return a.key.compare(b.key) < 0;
    });
    listing->toStat.reserve(order.size());
    for (const Order &entry : order)
        listing->toStat.push_back(std::move(names[entry.listed]));
    for (int i = 0; i < tasks; ++i)
        listing->pool.start([listing, sink] { statNext(listing, sink); });
}

void FolderReading::statNext(const std::shared_ptr<Listing> &listing,
                             const std::shared_ptr<ReadingSink> &sink)
{
    while (!listing->abandoned) {
        const std::size_t next = listing->nextStat++;
        if (next >= listing->toStat.size())
            break;
        const QString &name = listing->toStat[next];
        if (listing->facts.add({name, listing->lister->facts(listing->folder, name)}))
            sink->post([listing](FolderReading *reading) { reading->waiting(listing); });
    }
    sink->post([listing](FolderReading *reading) { reading->factTaskDone(listing); });
}

// ---- The window's thread -----------------------------------------------------

FolderReading::FolderReading(std::shared_ptr<FolderLister> lister, WorkerPool &pool,
                             QObject *parent)
    : QObject(parent), m_lister(std::move(lister)), m_pool(pool),
      m_sink(std::make_shared<ReadingSink>(this))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(defaultQuietLimit);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (m_state == State::Reading)
            setState(State::NotAnswering);
    });
    m_take.setSingleShot(true);
    connect(&m_take, &QTimer::timeout, this, &FolderReading::take);
}

FolderReading::~FolderReading()
{
    m_sink->detach();
    for (const std::shared_ptr<Listing> &listing : std::as_const(m_unanswered))
        listing->abandoned = true;
    if (m_listing)
        m_listing->abandoned = true;
}

void FolderReading::setQuietLimit(std::chrono::milliseconds limit)
{
    m_quiet.setInterval(limit);
}

void FolderReading::start(const QString &folder)
{
    stop();
    if (!folder.isEmpty())
        startListing(folder);
}

void FolderReading::stop()
{
    if (m_listing)
        m_listing->abandoned = true;
    m_listing.reset();
    m_quiet.stop();
    m_take.stop();
    m_toRecheck.clear();
    m_recheckRunning = false;
    m_failure = 0;
    setState(State::NoFolder);
}

void FolderReading::startListing(const QString &folder)
{
    if (std::shared_ptr<Listing> waiting = m_unanswered.value(folder)) {
        waiting->abandoned = false;
        m_listing = waiting;
    } else {
        m_listing = std::make_shared<Listing>(folder, m_lister, m_pool);
        m_unanswered.insert(folder, m_listing);
        m_pool.start([listing = m_listing, sink = m_sink] { read(listing, sink); });
    }
    m_takenOnce = false;
    setState(State::Reading);
    m_quiet.start();
}

void FolderReading::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

// Whether the answer is for the folder read now; any answer means the folder
// is awake, so a later visit reads it afresh.
bool FolderReading::isCurrent(const std::shared_ptr<Listing> &listing)
{
    if (m_unanswered.value(listing->folder) == listing)
        m_unanswered.remove(listing->folder);
    return listing == m_listing;
}

void FolderReading::waiting(const std::shared_ptr<Listing> &listing)
{
    if (!isCurrent(listing) || m_take.isActive())
        return;
    m_take.start(m_takenOnce ? takeEvery : firstTakeAfter);
}

void FolderReading::take()
{
    const std::shared_ptr<Listing> listing = m_listing;
    if (!listing)
        return;
    m_takenOnce = true;
    std::vector<FolderEntry> names = listing->names.take();
    if (!names.empty()) {
        listing->anyNames = true;
        if (m_state == State::NotAnswering)
            setState(State::Reading);
        if (m_state == State::Reading)
            m_quiet.start();
        emit namesArrived(names);
    }
    // What the names' receivers did may have moved on to another folder.
    if (listing != m_listing)
        return;
    std::vector<NamedFacts> facts = listing->facts.take();
    if (!facts.empty())
        emit factsArrived(facts);
}

void FolderReading::listed(const std::shared_ptr<Listing> &listing, int error, int factTasks)
{
    if (!isCurrent(listing))
        return;
    if (error == ECANCELED) {
        // It gave up just before the folder was shown again.
        m_listing.reset();
        startListing(listing->folder);
        return;
    }
    m_take.stop();
    take();
    if (listing != m_listing)
        return;
    m_quiet.stop();
    listing->namesDone = true;
    listing->factTasks = factTasks;
    if (error != 0 && !listing->anyNames) {
        m_failure = error;
        setState(State::Failed);
        return;
    }
    setState(factTasks > 0 ? State::Listed : State::Complete);
}

void FolderReading::factTaskDone(const std::shared_ptr<Listing> &listing)
{
    if (!isCurrent(listing))
        return;
    if (--listing->factTasks > 0)
        return;
    // The last facts go now rather than at the next tick.
    m_take.stop();
    take();
    if (listing == m_listing && listing->namesDone && m_state == State::Listed)
        setState(State::Complete);
}

void FolderReading::stat(const QStringList &names)
{
    if (!m_listing || names.isEmpty())
        return;
    m_pool.start([listing = m_listing, sink = m_sink, names] {
        for (const QString &name : names) {
            if (listing->facts.add({name, listing->lister->facts(listing->folder, name)}))
                sink->post([listing](FolderReading *reading) { reading->waiting(listing); });
        }
    });
}

void FolderReading::recheck(const QStringList &names)
{
    for (const QString &name : names)
        m_toRecheck.insert(name);
    startRecheck();
}

void FolderReading::startRecheck()
{
    if (m_recheckRunning || m_toRecheck.isEmpty() || !m_listing)
        return;
    m_recheckRunning = true;
    const QStringList names(m_toRecheck.cbegin(), m_toRecheck.cend());
    m_toRecheck.clear();
    m_pool.start([listing = m_listing, sink = m_sink, names] {
        const QCollator collator = entryCollator();
        const QMimeDatabase mimes;
        std::vector<FolderEntry> present;
        std::vector<NamedFacts> facts;
        for (const QString &name : names) {
            const EntryFacts found = listing->lister->facts(listing->folder, name);
            facts.emplace_back(name, found);
            if (!found.exists)
                continue;
            FolderEntry entry = makeEntry({name, found.kind}, collator, mimes);
            entry.size = found.size;
            entry.modifiedMs = found.modifiedMs;
            present.push_back(std::move(entry));
        }
        sink->post([listing, present = std::move(present),
                    facts = std::move(facts)](FolderReading *reading) mutable {
            reading->rechecked(listing, present, facts);
        });
    });
}

void FolderReading::rechecked(const std::shared_ptr<Listing> &listing,
                              std::vector<FolderEntry> &present, std::vector<NamedFacts> &facts)
{
    if (!isCurrent(listing))
        return;
    m_recheckRunning = false;
    emit changesArrived(present, facts);
    startRecheck();
}

} // namespace moviecat
