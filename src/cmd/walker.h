#pragma once

#include "cmd/pattern.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace moviecat::cmd {

enum class HiddenEntries { Include, Exclude, Only };

struct WalkOptions {
    bool recurse = true;                           // /s: search every folder below
    bool folders = true;                           // list folders
    bool files = false;                            // list other entries
    HiddenEntries hidden = HiddenEntries::Include; // dot names
    bool fullPaths = true;                         // print folder + name, else the name alone
};

// Where a walk's results and complaints go. line() returns false when the output
// failed; the walk then stops.
class WalkSink {
public:
    virtual ~WalkSink() = default;
    virtual bool line(std::string_view text) = 0;
    virtual void message(std::string_view text) = 0;
};

struct WalkResult {
    size_t listed = 0;
    bool rootOpened = false;
    bool outputFailed = false;
};

// Lists the entries below a folder that match a pattern, in the order the command
// interpreter's DIR /s prints them: in each folder its matches by name ignoring case,
// then the same inside each sub-folder in turn.
//
// Folders are read in parallel by a pool of threads (many more than cores, so that
// cold disks and network shares have many reads in flight) in nearly that order, and
// results are written by the calling thread as soon as everything before them is
// known, so memory stays small however large the tree.
class Walker {
public:
    // threads 0: as many readers as the folders keep busy (cores while reads are served
    // from memory, up to maxThreads() while they wait on a disk or the network).
    explicit Walker(unsigned threads = 0);
    ~Walker();
    Walker(const Walker &) = delete;
    Walker &operator=(const Walker &) = delete;

    // root as it should be printed (no trailing separator except for "/").
    WalkResult walk(const std::string &root, const Pattern &pattern, const WalkOptions &options,
                    WalkSink &sink);

    static unsigned maxThreads();

    struct Node;

private:
    struct Scope;
    void work(unsigned id);
    void schedule(Node *node);
    void process(Node *node, std::vector<Node *> &children, bool *blocked);
    void adapt(bool blocked);
    void keepOpen(Node *node, int fd, size_t children);
    void childOpened(Node *parent);
    void startReaders();
    void waitFor(Node *node);
    void release(Node *node);
    Node *followLink(Node *parent, size_t index, WalkSink &sink);

    unsigned m_threadCount;
    unsigned m_baseActive;
    bool m_adaptive;
    unsigned m_active; // readers allowed to work now, guarded by m_mutex
    unsigned m_windowReads = 0;
    unsigned m_windowBlocked = 0;
    std::vector<std::thread> m_threads; // guarded by m_mutex
    std::mutex m_mutex;
    std::condition_variable m_workCv;
    std::condition_variable m_parkCv;
    std::condition_variable m_doneCv;
    std::vector<Node *> m_heap; // pending folders, earliest in listing order first
    Node *m_awaited = nullptr;
    std::atomic<size_t> m_unreleased = 0; // read folders the writer has not finished with
    size_t m_inFlight = 0;
    bool m_aborting = false;
    bool m_quit = false;
    std::atomic<size_t> m_keptOpen = 0;
    size_t m_keepOpenBudget = 0;

    // Per walk; set before any folder is scheduled.
    const Pattern *m_pattern = nullptr;
    WalkOptions m_options;
    std::string m_rootReal;
    std::vector<std::string> m_followed; // real paths of folders entered through links
};

} // namespace moviecat::cmd
