#pragma once

// The parallel folder walk behind DIR /s, in pieces each behind a narrow header:
//
//   walker.h/.cpp        Walker: the walk and its ordered writer. Queues the root, writes
//                        each folder's matches in listing order as soon as everything
//                        before them is known, enters linked folders once, records every
//                        folder into the index, frees what it has written.
//   readerpool.h/.cpp    ReaderPool: the reader threads and the queue of folders in
//                        listing order; deadlines and give-ups, a mount that stopped
//                        answering (MountWatch), a failed output's end of the walk.
//   rootsahead.cpp       ReaderPool's roots of later walks, opened at once, side by side.
//   folderreading.h/.cpp FolderReading: reading one folder (open, listing, file system,
//                        entries with the leaf shortcut, sub-folders, kept descriptors).
//   confirming.cpp       FolderReading's confirming of a folder against the earlier index.
//   folderentries.h/.cpp a folder's entries: which are listed, their names, their order.
//   walknode.h           what they share: WalkNode (a folder as read), WalkEntry,
//                        WalkState (one walk's own: pattern, options, earlier index, and
//                        what its root's reader learns), EarlierIndex.
//
// Dependencies point down the list: the writer uses the pool, the pool the reading.

#include "cmd/matching.h"
#include "cmd/mountwatch.h"
#include "index/folderindex.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace moviecat::cmd {

struct WalkNode;
struct WalkState;
class ReaderPool;

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
    // the results and the index written are those of a full walk. Each folder recorded
    // keeps the day previous has for the folder at its place, or is dated today.
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
    unsigned stuckReaders() const;

private:
    void release(WalkNode *node);
    WalkNode *followLink(WalkNode *parent, size_t index, WalkSink &sink);
    bool writeFolder(WalkNode *node, WalkSink &sink, WalkResult &result);
    void record(WalkNode *node);
    std::vector<WalkNode *> writeInOrder(WalkNode *root, WalkSink &sink, WalkResult &result);

    // Folders given up and their parents: a stuck reader may still touch them. Declared
    // before the pool, so that they go only after its readers are joined.
    std::vector<std::unique_ptr<WalkNode>> m_pinned;
    std::unique_ptr<ReaderPool> m_pool;
    // The writer's, per walk.
    std::shared_ptr<const WalkState> m_walk;
    std::vector<std::string> m_followed; // real paths of folders entered through links
    index::FolderIndex *m_record = nullptr;
    bool m_incomplete = false; // a folder was given up
    bool m_rootRead = false;   // the root answered: what its reader learnt may be read
};

} // namespace moviecat::cmd
