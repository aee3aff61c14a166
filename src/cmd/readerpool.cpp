#include "cmd/readerpool.h"

#include <algorithm>
#include <unistd.h>

namespace moviecat::cmd {

namespace {

// Folders read but not yet written out; past this the readers wait for the writer,
// so a slow folder early in the order cannot make the whole tree pile up in memory.
constexpr size_t readAhead = 4096;

} // namespace

unsigned ReaderPool::maxThreads()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max(64u, cores * 32);
}

ReaderPool::ReaderPool(const WalkerSettings &settings)
    : m_reader(settings.reader ? settings.reader : &m_systemReader), m_deadline(settings.deadline),
      m_mounts(settings.mounts ? *settings.mounts : MountTable::load(), settings.deadline),
      m_reading(*m_reader, m_mounts),
      m_threadCount(settings.threads == 0 ? maxThreads() : settings.threads),
      m_baseActive(settings.threads == 0 ? 2 * std::max(1u, std::thread::hardware_concurrency())
                                         : settings.threads),
      m_adaptive(settings.threads == 0), m_active(m_baseActive)
{}

ReaderPool::~ReaderPool()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        threads.swap(m_threads);
        for (std::thread &t : m_openers)
            threads.push_back(std::move(t));
        m_openers.clear();
    }
    m_parkCv.notify_all();
    m_workCv.notify_all();
    for (std::thread &t : threads)
        t.join();
    for (const auto &node : m_ahead) {
        if (node->preopened >= 0)
            ::close(node->preopened);
    }
}

void ReaderPool::begin(std::shared_ptr<WalkState> walk)
{
    std::lock_guard lock(m_mutex);
    m_walk = std::move(walk);
    startReaders();
}

void ReaderPool::end()
{
    std::unique_lock lock(m_mutex);
    if (!m_heap.empty() || !m_inCalls.empty())
        abandonRest(lock);
    m_unreleased = 0;
    m_walk = nullptr;
}

// Called with m_mutex held; readers are started only once they may work.
void ReaderPool::startReaders()
{
    while (!m_quit && m_threads.size() < m_active) {
        const auto id = unsigned(m_threads.size());
        m_threads.emplace_back([this, id] { work(id); });
    }
}

// Called with m_mutex held.
void ReaderPool::addReader()
{
    ++m_threadCount;
    ++m_baseActive;
    ++m_active;
    startReaders();
    m_parkCv.notify_all();
}

void ReaderPool::schedule(WalkNode *node)
{
    {
        std::lock_guard lock(m_mutex);
        m_heap.push_back(node);
        std::push_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
    }
    m_workCv.notify_one();
}

void ReaderPool::work(unsigned id)
{
    std::vector<WalkNode *> children;
    WalkNode *finished = nullptr;
    bool blocked = false;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // The folder just read is handed back under the same lock that takes the next.
        if (finished) {
            if (m_adaptive)
                adapt(blocked);
            publish(finished, children);
            finished = nullptr;
        }
        WalkNode *node = nullptr;
        if (!takeNext(id, lock, node))
            return;
        if (!node)
            continue;
        const bool aborting = m_aborting;
        const std::shared_ptr<WalkState> walk = m_walk;
        lock.unlock();

        children.clear();
        blocked = false;
        if (!aborting)
            blocked = m_reading.read(*node, children, *walk);
        else if (node->parent && node->parent->fd >= 0)
            m_reading.childOpened(*node->parent);
        lock.lock();
        finished = node;
    }
}

// Called with m_mutex held: waits for a folder to read and marks it being read. False
// when the pool ends; node stays null where there is nothing for this reader after all.
bool ReaderPool::takeNext(unsigned id, std::unique_lock<std::mutex> &lock, WalkNode *&node)
{
    // Readers beyond the active count wait apart, so that waking one reader for new work
    // never picks one that may not take it.
    m_parkCv.wait(lock, [this, id] { return m_quit || id < m_active; });
    ++m_idle;
    m_workCv.wait(lock, [this, id] {
        return m_quit || id >= m_active ||
               (!m_heap.empty() &&
                (m_unreleased < readAhead || m_heap.front() == m_awaited || m_aborting));
    });
    --m_idle;
    if (m_quit)
        return false;
    if (id >= m_active)
        return true;
    std::pop_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
    WalkNode *next = m_heap.back();
    m_heap.pop_back();
    const auto now = WalkClock::now();
    if (next->state.load() == ReadState::GivenUp || m_mounts.isSilent(next->place.mount, now)) {
        passOver(next);
        if (next->parent && next->parent->fd >= 0)
            m_reading.childOpened(*next->parent);
        if (m_aborting)
            m_doneCv.notify_one();
        return true;
    }
    m_inCalls.push_back(next);
    next->state.store(ReadState::Reading);
    next->started = now;
    m_mounts.callStarted(next->place.mount, now);
    if (next == m_awaited)
        m_doneCv.notify_one(); // its deadline runs from now
    node = next;
    return true;
}

// Called with m_mutex held.
void ReaderPool::publish(WalkNode *node, std::vector<WalkNode *> &children)
{
    m_mounts.callAnswered(node->place.mount);
    if (node->state.load() == ReadState::GivenUp) {
        // Answered after all: the writer has moved on, and nobody waits for any of it.
        --m_stuck;
        m_reading.drop(*node);
        return;
    }
    for (WalkNode *child : children) {
        m_heap.push_back(child);
        std::push_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
    }
    node->state.store(ReadState::Done, std::memory_order_release);
    ++m_unreleased;
    stopReading(node);
    if (node == m_awaited || m_aborting)
        m_doneCv.notify_one();
    for (size_t i = 0; i < children.size() && i < m_idle; ++i)
        m_workCv.notify_one();
}

void ReaderPool::adapt(bool blocked)
{
    // More readers than cores only pay while reads wait; when they are served from
    // memory the extra threads just queue for the cores and the lock.
    constexpr unsigned window = 32;
    ++m_windowReads;
    m_windowBlocked += blocked ? 1 : 0;
    if (m_windowReads < window)
        return;
    if (m_windowBlocked * 4 >= window && m_active < m_threadCount) {
        m_active = std::min(m_threadCount, m_active * 2);
        startReaders();
        m_parkCv.notify_all();
    } else if (m_windowBlocked * 16 < window && m_active > m_baseActive) {
        m_active = std::max(m_baseActive, m_active / 2);
        m_workCv.notify_all();
    }
    m_windowReads = m_windowBlocked = 0;
}

bool ReaderPool::waitFor(WalkNode *node)
{
    if (node->state.load(std::memory_order_acquire) == ReadState::Done)
        return true;
    std::unique_lock lock(m_mutex);
    m_awaited = node;
    if (m_unreleased >= readAhead)
        m_workCv.notify_all(); // readers held back may take this one now
    for (;;) {
        const ReadState state = node->state.load();
        if (state == ReadState::Done || state == ReadState::GivenUp)
            break;
        // On a mount that has stopped answering nothing more is waited for.
        if (m_mounts.isSilent(node->place.mount, WalkClock::now())) {
            if (state == ReadState::Reading)
                giveUp(node);
            else
                passOver(node);
            break;
        }
        const WalkClock::time_point silent = m_mounts.silentAt(node->place.mount);
        if (state != ReadState::Reading) {
            // Every reader may be stuck on a later folder: then one more takes this one.
            const WalkClock::time_point limit = WalkClock::now() + m_deadline;
            if (m_doneCv.wait_until(lock, std::min(limit, silent)) == std::cv_status::timeout &&
                WalkClock::now() >= limit && node->state.load() == ReadState::Queued && m_idle == 0)
                addReader();
            continue;
        }
        const WalkClock::time_point limit = node->started + m_deadline;
        if (WalkClock::now() >= limit) {
            giveUp(node);
            break;
        }
        m_doneCv.wait_until(lock, std::min(limit, silent));
    }
    m_awaited = nullptr;
    return node->state.load() == ReadState::Done;
}

void ReaderPool::written()
{
    if (m_unreleased.fetch_sub(1) == readAhead) {
        std::lock_guard lock(m_mutex); // readers check the count under the lock
        m_workCv.notify_all();
    }
}

// Called with m_mutex held.
void ReaderPool::stopReading(WalkNode *node)
{
    const auto it = std::find(m_inCalls.begin(), m_inCalls.end(), node);
    *it = m_inCalls.back();
    m_inCalls.pop_back();
}

// Called with m_mutex held. The reader stays inside its call, perhaps for ever: it is
// replaced, and what it may still touch is kept.
void ReaderPool::giveUp(WalkNode *node)
{
    node->state.store(ReadState::GivenUp);
    if (node->openingAhead)
        return; // its opener is counted among the stuck already, and no reader is lost
    stopReading(node);
    ++m_stuck;
    node->pinned = true;
    if (node->parent)
        node->parent->pinned = true;
    m_pinnedAny = true;
    addReader();
}

// Called with m_mutex held: a folder on a mount that has stopped answering is given up
// before any call on it. A reader that takes it from the queue later drops it.
void ReaderPool::passOver(WalkNode *node)
{
    if (node->state.load() == ReadState::GivenUp)
        return;
    node->state.store(ReadState::GivenUp);
    node->pinned = true;
    if (node->parent)
        node->parent->pinned = true;
    m_pinnedAny = true;
    if (node->preopened >= 0)
        ::close(std::exchange(node->preopened, -1));
    if (node == m_awaited)
        m_doneCv.notify_one();
}

// After a failed output: drops what is still queued and waits for the folders being
// read, each until its deadline, as waitFor() would. One that does not answer by then
// is given up with every folder above it kept, since the writer never reached it.
void ReaderPool::abandonRest(std::unique_lock<std::mutex> &lock)
{
    m_aborting = true;
    m_workCv.notify_all();
    for (;;) {
        for (WalkNode *node : m_heap) {
            if (node->parent && node->parent->fd >= 0)
                m_reading.childOpened(*node->parent);
        }
        m_heap.clear();
        if (m_inCalls.empty())
            break;
        WalkNode *oldest = *std::min_element(
            m_inCalls.begin(), m_inCalls.end(),
            [](const WalkNode *a, const WalkNode *b) { return a->started < b->started; });
        const WalkClock::time_point limit = oldest->started + m_deadline;
        if (WalkClock::now() < limit) {
            m_doneCv.wait_until(lock, limit);
            continue;
        }
        oldest->state.store(ReadState::GivenUp);
        stopReading(oldest);
        ++m_stuck;
        for (WalkNode *n = oldest; n; n = n->parent)
            n->pinned = true;
        m_pinnedAny = true;
    }
    m_aborting = false;
}

} // namespace moviecat::cmd
