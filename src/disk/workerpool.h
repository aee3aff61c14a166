#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace moviecat {

// Threads for calls that may block for ever: listing, stat and poster reads on
// a share that stopped answering. A call stuck there cannot be interrupted, not
// even by SIGKILL, so nothing ever waits for these threads: they are detached,
// they keep the pool's state alive themselves, and destroying a pool (or
// leaving the program) joins nothing. When no worker has taken a task for a
// while although tasks wait, the workers are taken to be stuck and a fresh one
// starts, up to a cap.
class WorkerPool {
public:
    struct Limits {
        int threads = 8;     // started as soon as there is work
        int maxThreads = 48; // with the ones started because all were stuck
        std::chrono::milliseconds stuckAfter{250};
        // Threads beyond `threads` end after idling this long.
        std::chrono::milliseconds idleExit{20000};
    };

    WorkerPool();
    explicit WorkerPool(Limits limits);
    // Idle workers end; stuck ones finish their call and end then.
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // The one pool of the program, never destroyed.
    static WorkerPool &shared();

    void start(std::function<void()> task);
    // Threads alive now, busy or idle (for tests and benchmarks).
    int threadCount() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace moviecat
