#pragma once

// The readers (see the map in walker.h): a pool of threads that take the earliest pending
// folder and read it (FolderReading), as many as the folders keep busy; the deadlines that
// give up a folder that does not answer, and every folder of a mount that stopped
// answering; the roots of later walks opened ahead (rootsahead.cpp). The walk's writer
// queues folders, waits for each in turn and tells when it is done with one.
#include "cmd/folderreading.h"
#include "cmd/mountwatch.h"
#include "cmd/walknode.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace moviecat::cmd {

class ReaderPool {
public:
    explicit ReaderPool(const WalkerSettings &settings);
    // Joins every reader: whoever has readers stuck must release them first.
    ~ReaderPool();
    ReaderPool(const ReaderPool &) = delete;
    ReaderPool &operator=(const ReaderPool &) = delete;

    static unsigned maxThreads();

    // The walk whose folders are queued from now on.
    void begin(std::shared_ptr<WalkState> walk);
    // Ends it: what is still queued is dropped, folders being read are waited for until
    // their deadlines; a reader still stuck in one keeps that walk's state to itself.
    void end();

    void schedule(WalkNode *node);
    // False when the folder did not answer in time and was given up.
    bool waitFor(WalkNode *node);
    // The writer is done with a folder read: the readers may read further ahead.
    void written();
    // Whether any folder was given up: a stuck reader may still touch it.
    bool anyPinned() const { return m_pinnedAny.load(); }

    void openAhead(const std::vector<std::string> &roots);
    // A walk's root, opened ahead or not, in the queue or on its way there.
    std::unique_ptr<WalkNode> takeRoot(const std::string &root);

    const MountWatch &mounts() const { return m_mounts; } // only locate(), reading the table
    unsigned stuck() const { return m_stuck; }

private:
    void work(unsigned id);
    bool takeNext(unsigned id, std::unique_lock<std::mutex> &lock, WalkNode *&node);
    void publish(WalkNode *node, std::vector<WalkNode *> &children);
    void adapt(bool blocked);
    void startReaders();
    void addReader();
    void stopReading(WalkNode *node);
    void giveUp(WalkNode *node);
    void passOver(WalkNode *node);
    void abandonRest(std::unique_lock<std::mutex> &lock);
    void openRootAhead(WalkNode *node);

    FolderReader m_systemReader;
    FolderReader *m_reader;
    std::chrono::milliseconds m_deadline;
    MountWatch m_mounts; // guarded by m_mutex, but for locate()
    FolderReading m_reading;
    unsigned m_threadCount;
    unsigned m_baseActive;
    bool m_adaptive;
    unsigned m_active; // readers allowed to work now, guarded by m_mutex
    unsigned m_windowReads = 0;
    unsigned m_windowBlocked = 0;
    std::vector<std::thread> m_threads;             // guarded by m_mutex
    std::vector<std::thread> m_openers;             // openAhead()'s, guarded by m_mutex
    std::vector<std::unique_ptr<WalkNode>> m_ahead; // roots opened ahead, guarded by m_mutex
    std::mutex m_mutex;
    std::condition_variable m_workCv;
    std::condition_variable m_parkCv;
    std::condition_variable m_doneCv;
    std::vector<WalkNode *> m_heap; // pending folders, earliest in listing order first
    std::atomic<WalkNode *> m_awaited = nullptr;
    unsigned m_idle = 0;               // readers waiting for work, guarded by m_mutex
    std::atomic<unsigned> m_stuck = 0; // changed under m_mutex
    std::atomic<bool> m_pinnedAny = false;
    std::atomic<size_t> m_unreleased = 0; // read folders the writer has not finished with
    std::vector<WalkNode *> m_inCalls;    // folders a reader is inside, guarded by m_mutex
    bool m_aborting = false;
    bool m_quit = false;
    // The walk under way, guarded by m_mutex. Each reader holds on to the one of the
    // folder it reads, so that one stuck in a call past the end of its walk finds that
    // walk whole when the call returns, and touches nothing of a later one.
    std::shared_ptr<WalkState> m_walk;
};

} // namespace moviecat::cmd
