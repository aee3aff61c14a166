#pragma once

// What the walker's pieces share (see the map in walker.h): a folder as read, with its
// entries in listing order; one walk's own state; the earlier index as a walk confirms
// against it.
#include "cmd/matching.h"
#include "cmd/mountwatch.h"
#include "cmd/walker.h"
#include "index/folderindex.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace moviecat::cmd {

using WalkClock = std::chrono::steady_clock;

// An open and read that took longer than this waited for a disk or the network;
// from memory they take a few microseconds.
inline constexpr auto blockedAfter = std::chrono::microseconds(200);
inline constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// What an entry of a folder is to the walk.
enum class WalkEntryKind : std::uint8_t { Folder, LinkedFolder, Other };
enum class NameProblem : std::uint8_t { None, LineBreak, TooLong };
enum class ReadState : std::uint8_t { Queued, Reading, Done, GivenUp };
// Whether a folder's link count is 2 plus its number of sub-folders there.
enum class LinkCount : std::uint8_t { Unknown, Counted, NotCounted };

struct WalkScope {
    std::vector<std::string> excluded; // real paths already searched another way
};

// The earlier walk's index as one walk uses it: each folder's sub-folders as a run of
// numbers (first, count), by folder number + 1; the root's by name.
struct EarlierIndex {
    std::shared_ptr<const index::FolderIndex> index;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
    std::unordered_map<std::string_view, std::uint32_t> top;

    // Nothing when the index was not written by a walk: a folder's sub-folders apart, or
    // a name twice under the root (twice elsewhere is found where it is used).
    static std::shared_ptr<const EarlierIndex> of(std::shared_ptr<const index::FolderIndex> index);
    std::uint32_t topFolder(std::string_view name) const
    {
        const auto it = top.find(name);
        return it == top.end() ? 0 : it->second;
    }
};

// What one walk's readers share. All but root is set before the walk's root is queued
// and never changed; root is written by the root's reader alone, before it hands the
// root back, and read only once the root is done. Every reader holds on to the state of
// the walk its folder belongs to, so one that comes back from a folder given up long ago
// touches nothing of a later walk.
struct WalkState {
    Pattern pattern;
    WalkOptions options;
    bool recording = false;
    // The earlier walk's index, where this walk may confirm folders by their time alone.
    std::shared_ptr<const EarlierIndex> earlier;
    struct Root {
        std::string real; // through links, so that links back into it are not followed
        std::uint64_t fileSystem = 0;
        std::uint64_t device = 0;
        // Whether the root lies on the same file system as in the earlier index, and the
        // second before which times are settled.
        bool sameAsBefore = false;
        std::int64_t settledBefore = 0;
    } root;
};

struct WalkNode;

// One entry of a folder as read.
struct WalkEntry {
    // A linked folder's target, or why it cannot be resolved.
    struct Link {
        std::string real;
        int error = 0;
    };
    std::string_view name; // in its folder's names
    WalkEntryKind kind = WalkEntryKind::Other;
    NameProblem problem = NameProblem::None;
    bool listed = false;
    bool leaf = false;        // a folder known to hold no sub-folders: never opened
    bool otherDevice = false; // a folder on another file system (a mount point)
    std::unique_ptr<Link> link;
    std::unique_ptr<WalkNode> child;
    // For the index, where one is written: the folded name (in its folder's names; empty
    // for ASCII) and the change time where a stat gave it.
    std::string_view folded;
    std::uint32_t modified = 0;
    std::uint32_t recordId = 0;   // its number in the index + 1
    std::uint32_t previousId = 0; // its number in the earlier walk's index + 1, where known
};

// A folder of a walk: queued, read by a reader, written by the walk's writer.
struct WalkNode {
    std::string path;  // as opened and printed
    std::string order; // place in the listing order
    std::string real;  // real path, kept only where a scope excludes folders
    std::shared_ptr<const WalkScope> scope;
    std::vector<WalkEntry> entries;
    // The bytes of its entries' names and folded forms, one allocation for all.
    std::string names;
    int error = 0;
    bool throughLink = false;
    bool isRoot = false;
    bool pinned = false; // the writer's: a stuck reader may still touch it
    MountWatch::Place place;
    // A root opened ahead (guarded by the pool's lock): its opener is still in its call;
    // its walk has begun; the descriptor it got.
    bool openingAhead = false;
    bool claimed = false;
    int preopened = -1;
    LinkCount links = LinkCount::Unknown;
    dev_t device = 0;                                 // known where links are Counted
    std::atomic<ReadState> state = ReadState::Queued; // changed under the pool's lock
    WalkClock::time_point started;                    // guarded by the pool's lock
    // Sub-folders open relative to their parent, sparing the kernel the walk down
    // the whole path: the parent's descriptor stays open until the last one has.
    WalkNode *parent = nullptr;
    int fd = -1;
    // For the index: this folder's number + 1 (noParent for the root), and its
    // change time as its reader found it.
    std::uint32_t recordId = index::FolderIndex::noParent;
    std::uint32_t modified = 0;
    // Its time tells nothing of its listing: it holds links (whose targets change without
    // it) or names that cannot be written, could not be read, or lies on another file
    // system than the root. The index keeps no time for it, so it is always listed.
    bool unsure = false;
    // Its number in the earlier walk's index + 1, where it is proven to be the same
    // folder: the root's sub-folder of that name, or one taken from an unchanged folder.
    std::uint32_t previousId = 0;
    std::atomic<size_t> unopenedChildren = 0;
};

// Earliest in the listing order on top of a heap.
struct LaterFirst {
    bool operator()(const WalkNode *a, const WalkNode *b) const { return a->order > b->order; }
};

// Appends a position among siblings to an order key, written so that comparing the bytes
// of two keys compares the folders' places in the listing order (a parent's key is a
// prefix of its child's).
void appendIndex(std::string &key, size_t index);

// What the index keeps of a folder's time: its last change of any kind (an entry added,
// removed or renamed, its permissions, a move), which the change time records where the
// modification time would miss some.
inline std::uint32_t changeTime(const struct stat &st)
{
    return std::uint32_t(std::clamp<time_t>(st.st_ctime, 0, UINT32_MAX));
}

} // namespace moviecat::cmd
