#pragma once

#include "cmd/mountwatch.h"
#include "cmd/matching.h"
#include "index/folderindex.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
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
    bool complete = false; // every folder below the root was read or found unreadable
};

// How folders are opened and their listings read: the system calls, or in tests a
// reader that holds a folder back as a dead network share would.
class FolderReader {
public:
    virtual ~FolderReader() = default;
    virtual int open(int dirFd, const char *name, int flags);
    virtual long read(int fd, char *buffer, size_t size); // getdents64
    // The entry itself, a link not followed (fstatat with AT_SYMLINK_NOFOLLOW).
    virtual int stat(int dirFd, const char *name, struct stat *st);
};

struct WalkerSettings {
    unsigned threads = 0; // 0: as many readers as the folders keep busy
    // A folder whose open or read has not returned by then is given up.
    std::chrono::milliseconds deadline = std::chrono::seconds(15);
    FolderReader *reader = nullptr; // nullptr: the system calls
    // Which mount each folder lies on; nullptr: this process's mount table.
    const MountTable *mounts = nullptr;
};

// Lists the entries below a folder that match a pattern, in the order the command
// interpreter's DIR /s prints them: in each folder its matches by name ignoring case,
// then the same inside each sub-folder in turn.
//
// Folders are read in parallel by a pool of threads (many more than cores, so that
// cold disks and network shares have many reads in flight) in nearly that order, and
// results are written by the calling thread as soon as everything before them is
// known, so memory stays small however large the tree.
//
// A folder that does not answer within the deadline is reported and left out; the
// reader stuck on it cannot be interrupted, so it is replaced and never waited for.
// Once a mount has left a call unanswered that long, every folder on it still waiting
// is given up at once (MountWatch).
class Walker {
public:
    // threads 0: as many readers as the folders keep busy (cores while reads are served
    // from memory, up to maxThreads() while they wait on a disk or the network).
    explicit Walker(const WalkerSettings &settings = {});
    // Joins every reader: whoever has readers stuck (stuckReaders()) must release them
    // first, or leave the process with _exit.
    ~Walker();
    Walker(const Walker &) = delete;
    Walker &operator=(const Walker &) = delete;

    // root as it should be printed (no trailing separator except for "/"). With record,
    // every folder listed (whatever the pattern) is added to it, in listing order, and
    // its header set; it holds the whole tree where the result is complete.
    //
    // With the index of an earlier walk of the same root as well (previous), a folder
    // whose change time is still the one in that index, and older than that walk by more
    // than the file system's time granularity, is not listed again: its sub-folders are
    // taken from the index. Every folder is still asked for its time, many at once, and
    // the results and the index written are those of a full walk.
    WalkResult walk(const std::string &root, const Pattern &pattern, const WalkOptions &options,
                    WalkSink &sink, index::FolderIndex *record = nullptr,
                    std::shared_ptr<const index::FolderIndex> previous = nullptr);
    // Starts opening the roots of walks to come, each on its own thread, so that roots on
    // shares that do not answer use up their deadlines side by side rather than one
    // after another. A walk of one of them goes on from there.
    void openAhead(const std::vector<std::string> &roots);

    static unsigned maxThreads();
    // Readers still inside a call on a folder that was given up, or on a root opened
    // ahead that has not answered yet.
    unsigned stuckReaders() const { return m_stuck; }

private:
    struct Node;
    struct Scope;
    struct Confirming;
    void work(unsigned id);
    void schedule(Node *node);
    void publish(Node *node, std::vector<Node *> &children);
    bool process(Node *node, std::vector<Node *> &children, Confirming *confirming);
    bool confirm(Node *node, std::vector<Node *> &children, const Confirming &confirming,
                 bool &blocked);
    int openFolder(Node *node);
    bool readListing(Node *node, int fd, std::vector<char> &listing, size_t &used);
    void learnFileSystem(Node *node, int fd, Confirming *confirming);
    void collectEntries(Node *node, int fd, const std::vector<char> &listing, size_t used);
    void addChildren(Node *node, int fd, std::vector<Node *> &children,
                     const Confirming *confirming);
    void adapt(bool blocked);
    void keepOpen(Node *node, int fd, size_t children);
    void childOpened(Node *parent);
    void startReaders();
    bool waitFor(Node *node);
    void stopReading(Node *node);
    void giveUp(Node *node);
    void passOver(Node *node);
    void openRootAhead(Node *node);
    std::unique_ptr<Node> takeRoot(const std::string &root);
    void abandonRest(std::unique_lock<std::mutex> &lock);
    void addReader();
    void release(Node *node);
    Node *followLink(Node *parent, size_t index, WalkSink &sink);
    bool writeFolder(Node *node, WalkSink &sink, WalkResult &result);
    void record(Node *node);
    std::vector<Node *> writeInOrder(Node *root, WalkSink &sink, WalkResult &result);

    FolderReader m_systemReader;
    FolderReader *m_reader;
    std::chrono::milliseconds m_deadline;
    unsigned m_threadCount;
    unsigned m_baseActive;
    bool m_adaptive;
    unsigned m_active; // readers allowed to work now, guarded by m_mutex
    unsigned m_windowReads = 0;
    unsigned m_windowBlocked = 0;
    std::vector<std::thread> m_threads;         // guarded by m_mutex
    std::vector<std::thread> m_openers;         // openAhead()'s, guarded by m_mutex
    std::vector<std::unique_ptr<Node>> m_ahead; // roots opened ahead, guarded by m_mutex
    MountWatch m_mounts;                        // guarded by m_mutex
    std::mutex m_mutex;
    std::condition_variable m_workCv;
    std::condition_variable m_parkCv;
    std::condition_variable m_doneCv;
    std::vector<Node *> m_heap; // pending folders, earliest in listing order first
    std::atomic<Node *> m_awaited = nullptr;
    unsigned m_idle = 0;               // readers waiting for work, guarded by m_mutex
    std::atomic<unsigned> m_stuck = 0; // changed under m_mutex
    // Folders given up and their parents: a stuck reader may still touch them.
    std::vector<std::unique_ptr<Node>> m_pinned;
    bool m_pinnedAny = false;
    std::atomic<size_t> m_unreleased = 0; // read folders the writer has not finished with
    std::vector<Node *> m_reading;        // folders a reader is inside, guarded by m_mutex
    bool m_aborting = false;
    bool m_quit = false;
    std::atomic<size_t> m_keptOpen = 0;
    size_t m_keepOpenBudget = 0;

    // Per walk; set before any folder is scheduled.
    const Pattern *m_pattern = nullptr;
    WalkOptions m_options;
    std::string m_rootReal;              // written by the reader of the root, read after it is done
    std::vector<std::string> m_followed; // real paths of folders entered through links
    index::FolderIndex *m_record = nullptr;
    bool m_incomplete = false; // a folder was given up
    std::uint64_t m_rootFileSystem = 0;
    std::uint64_t m_rootDevice = 0;
    // The earlier walk's index, where this walk may confirm folders by their time alone;
    // guarded by m_mutex. Each reader holds on to it while it reads, so that one stuck in a
    // call past the end of its walk finds it whole when the call returns.
    std::shared_ptr<Confirming> m_confirming;
};

} // namespace moviecat::cmd
