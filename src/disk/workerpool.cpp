#include "disk/workerpool.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace moviecat {

using Clock = std::chrono::steady_clock;

struct WorkerPool::State {
    explicit State(Limits l) : limits(l) {}

    struct Task {
        std::function<void()> run;
        Clock::time_point queuedAt;
    };

    const Limits limits;
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable watch;
    std::deque<Task> queue;
    int threads = 0;
    int idle = 0;
    bool closing = false;
    bool supervised = false;
    Clock::time_point lastTaken = Clock::now();
};

namespace {

using State = WorkerPool::State;

void workerLoop(const std::shared_ptr<State> &state)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        ++state->idle;
        const bool extra = state->threads > state->limits.threads;
        const auto ready = [&] {
            return state->closing || !state->queue.empty();
        };
        if (extra)
            state->work.wait_for(lock, state->limits.idleExit, ready);
        else
            state->work.wait(lock, ready);
        --state->idle;
        if (state->closing || (state->queue.empty() && extra)) {
            --state->threads;
            return;
        }
        if (state->queue.empty())
            continue;
        std::function<void()> task = std::move(state->queue.front().run);
        state->queue.pop_front();
        state->lastTaken = Clock::now();
        lock.unlock();
        task();
        // The task's captures go before the lock is taken again.
        task = nullptr;
        lock.lock();
    }
}

// With the lock held.
void spawnWorker(const std::shared_ptr<State> &state)
{
    try {
        std::thread(workerLoop, state).detach();
        ++state->threads;
    } catch (const std::system_error &) {
        // Out of threads: the ones there are take the work on.
    }
}

void superviseLoop(const std::shared_ptr<State> &state)
{
    std::unique_lock lock(state->mutex);
    while (!state->closing) {
        if (state->queue.empty()) {
            state->watch.wait(lock, [&] { return state->closing || !state->queue.empty(); });
            continue;
        }
        // Waiting since the later of the last take and the oldest task's arrival.
        const Clock::time_point since = std::max(state->lastTaken, state->queue.front().queuedAt);
        const Clock::time_point due = since + state->limits.stuckAfter;
        if (Clock::now() >= due) {
            if (state->idle == 0 && state->threads < state->limits.maxThreads)
                spawnWorker(state);
            state->lastTaken = Clock::now();
            continue;
        }
        state->watch.wait_until(lock, due);
    }
}

} // namespace

WorkerPool::WorkerPool() : WorkerPool(Limits{}) {}

WorkerPool::WorkerPool(Limits limits) : m_state(std::make_shared<State>(limits)) {}

WorkerPool::~WorkerPool()
{
    std::deque<State::Task> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->closing = true;
        dropped.swap(m_state->queue);
    }
    m_state->work.notify_all();
    m_state->watch.notify_all();
}

WorkerPool &WorkerPool::shared()
{
    // Never destroyed: at exit a worker may still hang on a dead share.
    static auto *pool = new WorkerPool;
    return *pool;
}

void WorkerPool::start(std::function<void()> task)
{
    const std::shared_ptr<State> &state = m_state;
    {
        std::lock_guard lock(state->mutex);
        state->queue.push_back({std::move(task), Clock::now()});
        if (state->idle < int(state->queue.size()) && state->threads < state->limits.threads)
            spawnWorker(state);
        if (!state->supervised) {
            try {
                std::thread(superviseLoop, state).detach();
                state->supervised = true;
            } catch (const std::system_error &) {
                // Tried again with the next task.
            }
        }
    }
    state->work.notify_one();
    state->watch.notify_one();
}

int WorkerPool::threadCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->threads;
}

} // namespace moviecat
