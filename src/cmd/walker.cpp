// The parallel folder walk behind DIR /s. Its parts, in file order:
//
//   helpers       path joining, listing-order keys, the start of a name too long to
//                 print, file systems whose link counts tell sub-folders apart
//   Entry, Node   a folder as read: its entries in listing order, its children
//   readers       work() takes the earliest pending folder, process() reads it,
//                 publish() hands it and its sub-folders back, one lock per folder
//   reading steps openFolder, readListing, learnFileSystem, collectEntries (with the
//                 leaf shortcut), sortEntries, addChildren, keepOpen
//   thread count  adapt(): more readers while reads wait, fewer when they do not
//   writer        walk() writes each folder's matches in order as soon as it is read,
//                 waitFor() gives up a folder that does not answer, followLink()
//                 enters linked folders once, release() frees what was written
//   mounts        passOver() gives up folders on a mount that stopped answering;
//                 openAhead() opens the roots of later walks at once
#include "cmd/walker.h"

#include "base/filesystems.h"
#include "base/helperreport.h"
#include "index/indexform.h"
#include "match/folding.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace moviecat::cmd {

namespace {

using Clock = std::chrono::steady_clock;

// Folders read but not yet written out; past this the readers wait for the writer,
// so a slow folder early in the order cannot make the whole tree pile up in memory.
constexpr size_t readAhead = 4096;
constexpr size_t direntBufferSize = 64 * 1024;
// An open and read that took longer than this waited for a disk or the network;
// from memory they take a few microseconds.
constexpr auto blockedAfter = std::chrono::microseconds(200);
// Roots opened ahead of their walks at most, each by a thread of its own.
constexpr size_t maxOpenAhead = 64;
constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// A folder only looked into by name, never listed.
constexpr int pathOpenFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

enum class EntryKind : uint8_t { Folder, LinkedFolder, Other };
enum class Problem : uint8_t { None, LineBreak, TooLong };
enum class State : uint8_t { Queued, Reading, Done, GivenUp };
// Whether a folder's link count is 2 plus its number of sub-folders there.
enum class LinkCount : uint8_t { Unknown, Counted, NotCounted };

std::string joinPath(const std::string &folder, std::string_view name)
{
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

// Position among siblings, written so that comparing the bytes of two keys compares
// the folders' places in the listing order (a parent's key is a prefix of its child's).
void appendIndex(std::string &key, size_t index)
{
    if (index < 0x80) {
        key += static_cast<char>(index);
    } else if (index < 0x80 + 0x4000) {
        const size_t v = index - 0x80;
        key += static_cast<char>(0x80 | (v >> 8));
        key += static_cast<char>(v & 0xFF);
    } else {
        const size_t v = index - 0x80 - 0x4000;
        key += static_cast<char>(0xC0 | ((v >> 24) & 0x3F));
        key += static_cast<char>((v >> 16) & 0xFF);
        key += static_cast<char>((v >> 8) & 0xFF);
        key += static_cast<char>(v & 0xFF);
    }
}

// The first bytes of a name too long to print whole, not cut inside a UTF-8 sequence.
std::string_view nameStart(std::string_view name)
{
    constexpr size_t shown = 64;
    if (name.size() <= shown)
        return name;
    size_t end = shown;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
}

bool isInside(const std::string &path, const std::string &folder)
{
    if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0)
        return false;
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

LinkCount linkCountOf(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return LinkCount::NotCounted;
    return countsSubfolderLinks(static_cast<unsigned long>(fs.f_type)) ? LinkCount::Counted
                                                                       : LinkCount::NotCounted;
}

// What the index keeps of a folder's time: its last change of any kind (an entry added,
// removed or renamed, its permissions, a move), which the change time records where the
// modification time would miss some.
std::uint32_t changeTime(const struct stat &st)
{
    return std::uint32_t(std::clamp<time_t>(st.st_ctime, 0, UINT32_MAX));
}

std::string realPath(const std::string &path)
{
    std::string real;
    if (char *resolved = ::realpath(path.c_str(), nullptr)) {
        real = resolved;
        std::free(resolved);
    }
    return real;
}

} // namespace

int FolderReader::open(int dirFd, const char *name, int flags)
{
    return ::openat(dirFd, name, flags);
}

long FolderReader::read(int fd, char *buffer, size_t size)
{
    return ::getdents64(fd, buffer, size);
}

int FolderReader::stat(int dirFd, const char *name, struct stat *st)
{
    return ::fstatat(dirFd, name, st, AT_SYMLINK_NOFOLLOW);
}

struct Walker::Scope {
    std::vector<std::string> excluded; // real paths already searched another way
};

// The earlier walk's index as one walk uses it: each folder's sub-folders as a run of
// numbers (first, count), by folder number + 1; the root's by name.
struct Walker::Confirming {
    std::shared_ptr<const index::FolderIndex> index;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
    std::unordered_map<std::string_view, std::uint32_t> top;
    // Set by the root's reader before any sub-folder is queued: whether the root lies on
    // the same file system as then, and the second before which times are settled.
    bool sameRoot = false;
    std::uint64_t device = 0;
    std::int64_t settledBefore = 0;

    // Nothing when the index was not written by a walk: a folder's sub-folders apart, or
    // a name twice under the root (twice elsewhere is found where it is used).
    static std::shared_ptr<Confirming> of(std::shared_ptr<const index::FolderIndex> index)
    {
        if (!index)
            return nullptr;
        auto confirming = std::make_shared<Confirming>();
        std::vector<std::pair<std::uint32_t, std::uint32_t>> &runs = confirming->runs;
        runs.assign(index->size() + 1, {0, 0});
        for (std::uint32_t i = 0; i < index->size(); ++i) {
            auto &[first, count] = runs[index->parent(i)];
            if (count == 0)
                first = i;
            else if (first + count != i)
                return nullptr;
            ++count;
        }
        const auto [first, count] = runs[index::FolderIndex::noParent];
        for (std::uint32_t c = first; c < first + count; ++c) {
            if (!confirming->top.emplace(index->name(c), c + 1).second)
                return nullptr;
        }
        confirming->index = std::move(index);
        return confirming;
    }

    std::uint32_t topFolder(std::string_view name) const
    {
        const auto it = top.find(name);
        return it == top.end() ? 0 : it->second;
    }
};

namespace {

// One entry of a folder as read; Node is the walker's own, which no one else may name.
template <class Node> struct EntryOf {
    // A linked folder's target, or why it cannot be resolved.
    struct Link {
        std::string real;
        int error = 0;
    };
    std::string_view name; // in its folder's names
    EntryKind kind = EntryKind::Other;
    Problem problem = Problem::None;
    bool listed = false;
    bool leaf = false;        // a folder known to hold no sub-folders: never opened
    bool otherDevice = false; // a folder on another file system (a mount point)
    std::unique_ptr<Link> link;
    std::unique_ptr<Node> child;
    // For the index, where one is written: the folded name (in its folder's names; empty
    // for ASCII) and the change time where a stat gave it.
    std::string_view folded;
    std::uint32_t modified = 0;
    std::uint32_t recordId = 0;   // its number in the index + 1
    std::uint32_t previousId = 0; // its number in the earlier walk's index + 1, where known
};

} // namespace

struct Walker::Node {
    using Entry = EntryOf<Node>;
    std::string path;  // as opened and printed
    std::string order; // place in the listing order
    std::string real;  // real path, kept only where a scope excludes folders
    std::shared_ptr<const Scope> scope;
    std::vector<Entry> entries;
    // The bytes of its entries' names and folded forms, one allocation for all.
    std::string names;
    int error = 0;
    bool throughLink = false;
    bool isRoot = false;
    bool pinned = false; // the writer's: a stuck reader may still touch it
    MountWatch::Place place;
    // A root opened ahead (guarded by m_mutex): its opener is still in its call; its
    // walk has begun; the descriptor it got.
    bool openingAhead = false;
    bool claimed = false;
    int preopened = -1;
    LinkCount links = LinkCount::Unknown;
    dev_t device = 0;                         // known where links are Counted
    std::atomic<State> state = State::Queued; // changed under m_mutex
    Clock::time_point started;                // guarded by m_mutex
    // Sub-folders open relative to their parent, sparing the kernel the walk down
    // the whole path: the parent's descriptor stays open until the last one has.
    Node *parent = nullptr;
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

namespace {

// Whether a walk with these options prints a folder, or another entry, of this name.
// With folds, the name's form for the index is added there as well: the match form both
// start from is made once.
bool isListed(std::string_view name, bool folder, const WalkOptions &options,
              const Pattern &pattern, std::string *folds = nullptr)
{
    thread_local std::u32string form;
    const bool ownForm = folds && hasOwnIndexForm(name);
    if (ownForm) {
        matchForm(name, form);
        index::appendFolded(form, *folds);
    }
    const bool hidden = name[0] == '.';
    return (folder ? options.folders : options.files) &&
           (options.hidden == HiddenEntries::Include ||
            (options.hidden == HiddenEntries::Only) == hidden) &&
           (ownForm ? pattern.matchesForm(form) : pattern.matches(name));
}

// Where a reader makes a folder's entries, their names are views of its listing, their
// folded forms spans of its fold buffer. Before the folder is handed on, both are copied
// into the folder's names, which is sized once so that it never moves.
struct NameBuffers {
    std::string folds;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans; // each entry's folded form
    void clear()
    {
        folds.clear();
        spans.clear();
    }
    // The span of what was added to folds since start.
    void addSpan(std::size_t start)
    {
        spans.emplace_back(std::uint32_t(start), std::uint32_t(folds.size() - start));
    }
};

template <class Node> void keepNames(Node &node, const NameBuffers &buffers)
{
    std::size_t total = buffers.folds.size();
    for (const auto &e : node.entries)
        total += e.name.size();
    std::string &names = node.names;
    names.clear();
    names.reserve(total);
    for (std::size_t i = 0; i < node.entries.size(); ++i) {
        auto &e = node.entries[i];
        const auto [foldAt, foldLength] = buffers.spans[i];
        const std::size_t at = names.size();
        names += e.name;
        names.append(buffers.folds, foldAt, foldLength);
        e.name = std::string_view(names).substr(at, e.name.size());
        e.folded = std::string_view(names).substr(at + e.name.size(), foldLength);
    }
}

bool holdsLineBreak(std::string_view name)
{
    return std::memchr(name.data(), '\n', name.size()) ||
           std::memchr(name.data(), '\r', name.size());
}

struct LaterFirst {
    template <class Node> bool operator()(const Node *a, const Node *b) const
    {
        return a->order > b->order;
    }
};

// In the listing order: by each name's order key, equal keys by their bytes.
template <class Entry> void sortEntries(std::vector<Entry> &entries)
{
    if (entries.size() < 2)
        return;
    thread_local std::vector<uint32_t> keys;
    thread_local std::vector<uint32_t> key;
    thread_local std::vector<std::pair<size_t, size_t>> spans;
    thread_local std::vector<size_t> order;
    keys.clear();
    spans.clear();
    order.clear();
    for (const Entry &e : entries) {
        orderKey(e.name, key);
        spans.emplace_back(keys.size(), key.size());
        keys.insert(keys.end(), key.begin(), key.end());
        order.push_back(order.size());
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const auto [ao, al] = spans[a];
        const auto [bo, bl] = spans[b];
        const auto ka = keys.begin() + ao;
        const auto kb = keys.begin() + bo;
        if (std::lexicographical_compare(ka, ka + al, kb, kb + bl))
            return true;
        if (std::lexicographical_compare(kb, kb + bl, ka, ka + al))
            return false;
        return entries[a].name < entries[b].name;
    });
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (const size_t i : order)
        sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
    if (keys.capacity() > (1u << 20))
        std::vector<uint32_t>().swap(keys); // one huge folder should not pin memory
}

} // namespace

unsigned Walker::maxThreads()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max(64u, cores * 32);
}

Walker::Walker(const WalkerSettings &settings)
    : m_reader(settings.reader ? settings.reader : &m_systemReader), m_deadline(settings.deadline),
      m_threadCount(settings.threads == 0 ? maxThreads() : settings.threads),
      m_baseActive(settings.threads == 0 ? 2 * std::max(1u, std::thread::hardware_concurrency())
                                         : settings.threads),
      m_adaptive(settings.threads == 0), m_active(m_baseActive),
      m_mounts(settings.mounts ? *settings.mounts : MountTable::load(), settings.deadline)
{
    // Kept-open folders need descriptors; take what the hard limit allows.
    struct rlimit files;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        const rlim_t wanted = std::min<rlim_t>(files.rlim_max, 65536);
        if (files.rlim_cur < wanted) {
            files.rlim_cur = wanted;
            if (::setrlimit(RLIMIT_NOFILE, &files) != 0)
                ::getrlimit(RLIMIT_NOFILE, &files);
        }
        if (files.rlim_cur > 256)
            m_keepOpenBudget = std::min<rlim_t>((files.rlim_cur - 128) / 2, 16384);
    }
}

Walker::~Walker()
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

// Called with m_mutex held; readers are started only once they may work.
void Walker::startReaders()
{
    while (!m_quit && m_threads.size() < m_active) {
        const auto id = unsigned(m_threads.size());
        m_threads.emplace_back([this, id] { work(id); });
    }
}

void Walker::schedule(Node *node)
{
    {
        std::lock_guard lock(m_mutex);
        m_heap.push_back(node);
        std::push_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
    }
    m_workCv.notify_one();
}

void Walker::work(unsigned id)
{
    std::vector<Node *> children;
    Node *finished = nullptr;
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
        // Readers beyond the active count wait apart, so that waking one reader for
        // new work never picks one that may not take it.
        m_parkCv.wait(lock, [this, id] { return m_quit || id < m_active; });
        ++m_idle;
        m_workCv.wait(lock, [this, id] {
            return m_quit || id >= m_active ||
                   (!m_heap.empty() &&
                    (m_unreleased < readAhead || m_heap.front() == m_awaited || m_aborting));
        });
        --m_idle;
        if (m_quit)
            return;
        if (id >= m_active)
            continue;
        std::pop_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
        Node *node = m_heap.back();
        m_heap.pop_back();
        const auto now = Clock::now();
        if (node->state.load() == State::GivenUp || m_mounts.isSilent(node->place.mount, now)) {
            passOver(node);
            if (node->parent && node->parent->fd >= 0)
                childOpened(node->parent);
            if (m_aborting)
                m_doneCv.notify_one();
            continue;
        }
        m_reading.push_back(node);
        node->state.store(State::Reading);
        node->started = now;
        m_mounts.callStarted(node->place.mount, now);
        if (node == m_awaited)
            m_doneCv.notify_one(); // its deadline runs from now
        const bool aborting = m_aborting;
        const std::shared_ptr<Confirming> confirming = m_confirming;
        lock.unlock();

        children.clear();
        blocked = false;
        if (!aborting)
            blocked = process(node, children, confirming.get());
        else if (node->parent && node->parent->fd >= 0) {
            childOpened(node->parent);
        }
        lock.lock();
        finished = node;
    }
}

// Called with m_mutex held.
void Walker::publish(Node *node, std::vector<Node *> &children)
{
    m_mounts.callAnswered(node->place.mount);
    if (node->state.load() == State::GivenUp) {
        // Answered after all: the writer has moved on, and nobody waits for any of it.
        --m_stuck;
        std::vector<Node::Entry>().swap(node->entries);
        std::string().swap(node->names);
        if (node->fd >= 0) {
            ::close(node->fd);
            node->fd = -1;
            m_keptOpen.fetch_sub(1);
        }
        return;
    }
    for (Node *child : children) {
        m_heap.push_back(child);
        std::push_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
    }
    node->state.store(State::Done, std::memory_order_release);
    ++m_unreleased;
    stopReading(node);
    if (node == m_awaited || m_aborting)
        m_doneCv.notify_one();
    for (size_t i = 0; i < children.size() && i < m_idle; ++i)
        m_workCv.notify_one();
}

void Walker::adapt(bool blocked)
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

// True when the open and the reads waited for a disk or the network.
bool Walker::process(Node *node, std::vector<Node *> &children, Confirming *confirming)
{
    thread_local std::vector<char> listing;
    const auto start = Clock::now();
    bool blocked = false;
    if (node->previousId != 0 && confirming && confirm(node, children, *confirming, blocked))
        return blocked;
    const int fd = openFolder(node);
    if (fd < 0)
        return false;
    size_t used = 0;
    readListing(node, fd, listing, used);
    blocked = Clock::now() - start > blockedAfter;
    learnFileSystem(node, fd, confirming);
    collectEntries(node, fd, listing, used);
    if (listing.size() > 4 * direntBufferSize)
        std::vector<char>().swap(listing);
    sortEntries(node->entries);
    if (m_options.recurse)
        addChildren(node, fd, children, confirming);
    else
        ::close(fd);
    return blocked;
}

// True when the folder is the same as in the earlier walk's index, so its sub-folders are
// taken from there: its time (one stat) is that index's and older than its walk by more
// than the file system's granularity; or its link count says it holds none.
// False where it must be listed, which then tells whatever is wrong with it.
// blocked: a call waited for a disk or the network.
bool Walker::confirm(Node *node, std::vector<Node *> &children, const Confirming &confirming,
                     bool &blocked)
{
    Node *parent = node->parent;
    const bool relative = parent && parent->fd >= 0;
    const char *name =
        relative ? node->path.c_str() + node->path.rfind('/') + 1 : node->path.c_str();
    struct stat st;
    const auto asked = Clock::now();
    if (m_reader->stat(relative ? parent->fd : AT_FDCWD, name, &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_dev != confirming.device)
        return false;
    blocked = Clock::now() - asked > blockedAfter;
    if (node->state.load() == State::GivenUp)
        return true; // answered too late: nobody waits for it, and its walk may be over
    node->modified = changeTime(st);
    const std::uint32_t id = node->previousId - 1;
    // As the parent's listing would have found it: no sub-folders, never opened.
    const bool leaf =
        node->links == LinkCount::Counted && st.st_dev == node->device && st.st_nlink == 2;
    if (!leaf) {
        const index::FolderIndex &previous = *confirming.index;
        const std::uint32_t before = previous.modified(id);
        if (before == 0 || before != node->modified || before >= confirming.settledBefore)
            return false;
        const auto [first, count] = confirming.runs[id + 1];
        std::vector<Node::Entry> &entries = node->entries;
        // Sub-folders that held none then are asked here, through the folder, whether they
        // still hold none, as its listing would have: those are never queued or opened.
        // Not where calls wait (a network share): there they are asked side by side, each
        // queued as a folder of its own.
        bool leavesHere = node->links == LinkCount::Counted && !blocked;
        int fd = -1;
        auto listInstead = [&] {
            if (fd >= 0)
                ::close(fd);
            entries.clear();
            node->names.clear();
            return false;
        };
        thread_local NameBuffers buffers;
        buffers.clear();
        for (std::uint32_t c = first; c < first + count; ++c) {
            Node::Entry &e = entries.emplace_back();
            e.name = previous.name(c);
            e.kind = EntryKind::Folder;
            const std::size_t foldAt = buffers.folds.size();
            e.listed = isListed(e.name, true, m_options, *m_pattern, &buffers.folds);
            buffers.addSpan(foldAt);
            e.previousId = c + 1;
            if (!leavesHere || confirming.runs[c + 1].second != 0)
                continue;
            const auto callStart = Clock::now();
            if (fd < 0) {
                fd = m_reader->open(relative ? parent->fd : AT_FDCWD, name, pathOpenFlags);
                if (fd < 0)
                    return listInstead();
            }
            // Gone, or no longer a folder, since the folder's own time was taken.
            struct stat sub;
            thread_local std::string subName;
            subName.assign(e.name);
            if (m_reader->stat(fd, subName.c_str(), &sub) != 0 || !S_ISDIR(sub.st_mode))
                return listInstead();
            e.otherDevice = sub.st_dev != node->device;
            e.leaf = !e.otherDevice && sub.st_nlink == 2;
            e.modified = changeTime(sub);
            if (Clock::now() - callStart > blockedAfter)
                leavesHere = false;
            blocked = blocked || !leavesHere;
        }
        if (node->state.load() == State::GivenUp) { // answered too late, as above
            listInstead();
            return true;
        }
        keepNames(*node, buffers);
        sortEntries(entries);
        for (size_t i = 1; i < entries.size(); ++i) {
            if (entries[i].name == entries[i - 1].name)
                return listInstead(); // not an index a walk wrote
        }
        addChildren(node, fd, children, &confirming);
    }
    if (relative)
        childOpened(parent);
    return true;
}

int Walker::openFolder(Node *node)
{
    if (node->preopened >= 0)
        return std::exchange(node->preopened, -1);
    int flags = folderOpenFlags;
    if (!node->throughLink)
        flags |= O_NOFOLLOW; // a folder swapped for a link meanwhile is not followed
    int fd = -1;
    if (node->parent && node->parent->fd >= 0) {
        const char *name = node->path.c_str() + node->path.rfind('/') + 1;
        fd = m_reader->open(node->parent->fd, name, flags);
        if (fd < 0 && errno != EMFILE && errno != ENFILE)
            node->error = errno;
        childOpened(node->parent);
    }
    if (fd < 0 && node->error == 0)
        fd = m_reader->open(AT_FDCWD, node->path.c_str(), flags);
    if (fd < 0 && node->error == 0)
        node->error = errno;
    return fd;
}

// The whole listing first, then its entries.
bool Walker::readListing(Node *node, int fd, std::vector<char> &listing, size_t &used)
{
    for (;;) {
        if (listing.size() < used + direntBufferSize)
            listing.resize(used + direntBufferSize);
        const long got = m_reader->read(fd, listing.data() + used, direntBufferSize);
        if (got < 0) {
            node->error = errno;
            return false;
        }
        if (got == 0)
            return true;
        used += size_t(got);
    }
}

void Walker::learnFileSystem(Node *node, int fd, Confirming *confirming)
{
    if (node->isRoot) {
        // Through the descriptor: the path may lead through links.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(self.c_str(), buffer, sizeof buffer);
        m_rootReal = length > 0 && size_t(length) < sizeof buffer && buffer[0] == '/'
                         ? std::string(buffer, size_t(length))
                         : realPath(node->path);
        struct statfs fs;
        struct stat st;
        if (m_record && ::fstatfs(fd, &fs) == 0 && ::fstat(fd, &st) == 0) {
            m_rootFileSystem = static_cast<unsigned long>(fs.f_type);
            m_rootDevice = st.st_dev;
            // The same file system as the earlier walk's, or nothing of it is taken.
            if (confirming) {
                const index::FolderIndex::Header &before = confirming->index->header();
                confirming->sameRoot =
                    before.fileSystem == m_rootFileSystem && before.device == m_rootDevice;
                confirming->device = m_rootDevice;
                confirming->settledBefore = before.walkTime - timeGranularity(fs.f_type);
            }
        }
    }
    // The parent's stat of it, where there was one, gave its time already.
    if (m_record && !node->isRoot && node->modified == 0) {
        struct stat st;
        if (::fstat(fd, &st) == 0) {
            node->modified = changeTime(st);
            node->unsure = node->unsure || st.st_dev != m_rootDevice;
        }
    }
    if (node->links != LinkCount::Unknown || !m_options.recurse || m_options.files)
        return;
    node->links = linkCountOf(fd);
    struct stat st;
    if (node->links == LinkCount::Counted) {
        if (::fstat(fd, &st) == 0)
            node->device = st.st_dev;
        else
            node->links = LinkCount::NotCounted;
    }
}

void Walker::collectEntries(Node *node, int fd, const std::vector<char> &listing, size_t used)
{
    const WalkOptions &options = m_options;
    // Only sub-folders matter below here: one whose link count says it holds none is
    // matched by name and never opened.
    const bool leafShortcut =
        options.recurse && !options.files && node->links == LinkCount::Counted;
    const size_t folderLength = node->path.size() + (node->path.back() == '/' ? 0 : 1);
    std::vector<Node::Entry> &entries = node->entries;
    // Room for every entry that may be a folder (or any entry, where others are listed).
    size_t room = 0;
    for (size_t at = 0; at < used;) {
        const auto *d = reinterpret_cast<const dirent64 *>(listing.data() + at);
        at += d->d_reclen;
        room +=
            options.files || d->d_type == DT_DIR || d->d_type == DT_LNK || d->d_type == DT_UNKNOWN;
    }
    entries.reserve(room);
    thread_local NameBuffers buffers;
    buffers.clear();
    for (size_t at = 0; at < used;) {
        const auto *d = reinterpret_cast<const dirent64 *>(listing.data() + at);
        at += d->d_reclen;
        const char *name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        unsigned type = d->d_type;
        struct stat st;
        bool statted = false;
        bool folderStatted = false; // st holds the folder's (or link target's) own stat
        if (type == DT_UNKNOWN) {
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone meanwhile
            statted = true;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        // A link's target may change, or come to be a folder, without its folder's time.
        if (type == DT_LNK)
            node->unsure = true;
        EntryKind kind = EntryKind::Other;
        if (type == DT_DIR)
            kind = EntryKind::Folder;
        else if (type == DT_LNK && ::fstatat(fd, name, &st, 0) == 0 && S_ISDIR(st.st_mode))
            kind = EntryKind::LinkedFolder;
        folderStatted = kind != EntryKind::Other && (statted || kind == EntryKind::LinkedFolder);
        if (kind == EntryKind::Other && !options.files)
            continue;

        bool leaf = false;
        bool otherDevice = false;
        if (leafShortcut && kind == EntryKind::Folder &&
            (statted || ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) &&
            S_ISDIR(st.st_mode)) {
            otherDevice = st.st_dev != node->device;
            leaf = !otherDevice && st.st_nlink == 2; // below 2: not counted after all
            folderStatted = true;
        }
        const std::string_view view(name);
        const std::size_t foldAt = buffers.folds.size();
        const bool listed =
            isListed(view, kind != EntryKind::Other, options, *m_pattern,
                     m_record && kind != EntryKind::Other ? &buffers.folds : nullptr);
        // The index holds every folder, matching or not, leaves included.
        if (!listed && !(kind != EntryKind::Other && ((options.recurse && !leaf) || m_record))) {
            buffers.folds.resize(foldAt);
            continue;
        }

        Node::Entry &e = entries.emplace_back();
        e.name = view;
        e.kind = kind;
        e.listed = listed;
        e.leaf = leaf;
        e.otherDevice = otherDevice;
        if (holdsLineBreak(view))
            e.problem = Problem::LineBreak;
        else if (folderLength + view.size() >= PATH_MAX)
            e.problem = Problem::TooLong;
        if (e.problem != Problem::None)
            node->unsure = true; // the index holds no such name to complain about
        else if (kind == EntryKind::LinkedFolder && options.recurse) {
            // Resolved here, not by the writer: a link into a dead share must only
            // ever hold up a reader.
            e.link = std::make_unique<Node::Entry::Link>();
            e.link->real = realPath(joinPath(node->path, view));
            if (e.link->real.empty())
                e.link->error = errno;
        }
        // The index keeps no name it could not complain about.
        if (e.problem != Problem::None)
            buffers.folds.resize(foldAt);
        buffers.addSpan(foldAt);
        if (m_record && kind != EntryKind::Other && e.problem == Problem::None && folderStatted)
            e.modified = changeTime(st);
    }
    keepNames(*node, buffers);
}

void Walker::addChildren(Node *node, int fd, std::vector<Node *> &children,
                         const Confirming *confirming)
{
    std::vector<Node::Entry> &entries = node->entries;
    const bool excludes = node->scope && !node->scope->excluded.empty();
    for (size_t i = 0; i < entries.size(); ++i) {
        Node::Entry &e = entries[i];
        if (e.kind != EntryKind::Folder || e.problem != Problem::None || e.leaf)
            continue;
        auto child = std::make_unique<Node>();
        if (excludes) {
            child->real = joinPath(node->real, e.name);
            const auto &excluded = node->scope->excluded;
            if (std::find(excluded.begin(), excluded.end(), child->real) != excluded.end())
                continue;
            child->scope = node->scope;
        }
        child->path = joinPath(node->path, e.name);
        child->order = node->order;
        appendIndex(child->order, i);
        child->parent = node;
        // Its time from this listing's stat, where that also showed it on the root's
        // device; else it is taken when the folder is opened.
        if (node->links == LinkCount::Counted && !e.otherDevice && node->device == m_rootDevice)
            child->modified = e.modified;
        child->place = m_mounts.locateChild(node->place, child->path);
        child->previousId = !node->isRoot                        ? e.previousId
                            : confirming && confirming->sameRoot ? confirming->topFolder(e.name)
                                                                 : 0;
        // A mount point below shows its own kind of file system when it is opened.
        if (node->links == LinkCount::NotCounted ||
            (node->links == LinkCount::Counted && !e.otherDevice)) {
            child->links = node->links;
            child->device = node->device;
        }
        children.push_back(child.get());
        e.child = std::move(child);
    }
    if (fd >= 0)
        keepOpen(node, fd, children.size());
}

void Walker::keepOpen(Node *node, int fd, size_t children)
{
    // Within budget only: the rest of the children open by their full path.
    if (children == 0 || m_keptOpen.fetch_add(1) >= m_keepOpenBudget) {
        if (children != 0)
            m_keptOpen.fetch_sub(1);
        ::close(fd);
        return;
    }
    node->unopenedChildren.store(children);
    node->fd = fd;
}

void Walker::childOpened(Node *parent)
{
    if (parent->unopenedChildren.fetch_sub(1) == 1) {
        ::close(parent->fd);
        m_keptOpen.fetch_sub(1);
    }
}

// False when the folder did not answer in time and was given up.
bool Walker::waitFor(Node *node)
{
    if (node->state.load(std::memory_order_acquire) == State::Done)
        return true;
    std::unique_lock lock(m_mutex);
    m_awaited = node;
    if (m_unreleased >= readAhead)
        m_workCv.notify_all(); // readers held back may take this one now
    for (;;) {
        const State state = node->state.load();
        if (state == State::Done || state == State::GivenUp)
            break;
        // On a mount that has stopped answering nothing more is waited for.
        if (m_mounts.isSilent(node->place.mount, Clock::now())) {
            if (state == State::Reading)
                giveUp(node);
            else
                passOver(node);
            break;
        }
        const Clock::time_point silent = m_mounts.silentAt(node->place.mount);
        if (state != State::Reading) {
            // Every reader may be stuck on a later folder: then one more takes this one.
            const Clock::time_point limit = Clock::now() + m_deadline;
            if (m_doneCv.wait_until(lock, std::min(limit, silent)) == std::cv_status::timeout &&
                Clock::now() >= limit && node->state.load() == State::Queued && m_idle == 0)
                addReader();
            continue;
        }
        const Clock::time_point limit = node->started + m_deadline;
        if (Clock::now() >= limit) {
            giveUp(node);
            break;
        }
        m_doneCv.wait_until(lock, std::min(limit, silent));
    }
    m_awaited = nullptr;
    return node->state.load() == State::Done;
}

// Called with m_mutex held.
void Walker::stopReading(Node *node)
{
    const auto it = std::find(m_reading.begin(), m_reading.end(), node);
    *it = m_reading.back();
    m_reading.pop_back();
}

// Called with m_mutex held. The reader stays inside its call, perhaps for ever: it is
// replaced, and what it may still touch is kept.
void Walker::giveUp(Node *node)
{
    node->state.store(State::GivenUp);
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
void Walker::passOver(Node *node)
{
    if (node->state.load() == State::GivenUp)
        return;
    node->state.store(State::GivenUp);
    node->pinned = true;
    if (node->parent)
        node->parent->pinned = true;
    m_pinnedAny = true;
    if (node->preopened >= 0)
        ::close(std::exchange(node->preopened, -1));
    if (node == m_awaited)
        m_doneCv.notify_one();
}

void Walker::openAhead(const std::vector<std::string> &roots)
{
    std::lock_guard lock(m_mutex);
    for (const std::string &root : roots) {
        if (m_ahead.size() >= maxOpenAhead)
            break;
        auto node = std::make_unique<Node>();
        node->path = root;
        node->throughLink = true;
        node->isRoot = true;
        node->place = m_mounts.locate(root);
        node->openingAhead = true;
        node->state.store(State::Reading);
        node->started = Clock::now();
        m_mounts.callStarted(node->place.mount, node->started);
        ++m_stuck; // until it answers: a batch that ends first must not wait for it
        m_openers.emplace_back([this, raw = node.get()] { openRootAhead(raw); });
        m_ahead.push_back(std::move(node));
    }
}

// On an opener's thread; the root stays pinned in case it is given up meanwhile.
void Walker::openRootAhead(Node *node)
{
    const int fd = m_reader->open(AT_FDCWD, node->path.c_str(), folderOpenFlags);
    const int error = fd < 0 && errno != EMFILE && errno != ENFILE ? errno : 0;
    std::lock_guard lock(m_mutex);
    m_mounts.callAnswered(node->place.mount);
    node->openingAhead = false;
    --m_stuck;
    if (node->state.load() == State::GivenUp) {
        if (fd >= 0)
            ::close(fd); // too late: its walk has moved on
        return;
    }
    node->preopened = fd;
    node->error = error;
    node->state.store(State::Queued);
    if (node->claimed) {
        m_heap.push_back(node);
        std::push_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
        m_workCv.notify_one();
    }
    if (node == m_awaited)
        m_doneCv.notify_one();
}

// A walk's root, opened ahead or not, in the queue or on its way there.
std::unique_ptr<Walker::Node> Walker::takeRoot(const std::string &root)
{
    std::unique_ptr<Node> node;
    {
        std::lock_guard lock(m_mutex);
        const auto ahead = std::find_if(m_ahead.begin(), m_ahead.end(), [&](const auto &n) {
            return n->path == root && !n->claimed;
        });
        if (ahead != m_ahead.end()) {
            node = std::move(*ahead);
            m_ahead.erase(ahead);
            node->claimed = true;
            if (node->state.load() != State::Queued) {
                node->pinned = true; // its opener holds it, and queues it once it answers
                return node;
            }
        }
    }
    if (!node) {
        node = std::make_unique<Node>();
        node->path = root;
        node->throughLink = true;
        node->isRoot = true;
        node->place = m_mounts.locate(root);
    }
    schedule(node.get());
    return node;
}

// Called with m_mutex held.
void Walker::addReader()
{
    ++m_threadCount;
    ++m_baseActive;
    ++m_active;
    startReaders();
    m_parkCv.notify_all();
}

void Walker::release(Node *node)
{
    if (m_pinnedAny) {
        for (Node::Entry &e : node->entries) {
            if (e.child && e.child->pinned)
                m_pinned.push_back(std::move(e.child));
        }
    }
    std::vector<Node::Entry>().swap(node->entries);
    std::string().swap(node->names);
    if (m_unreleased.fetch_sub(1) == readAhead) {
        std::lock_guard lock(m_mutex); // readers check the count under the lock
        m_workCv.notify_all();
    }
}

Walker::Node *Walker::followLink(Node *parent, size_t index, WalkSink &sink)
{
    Node::Entry &e = parent->entries[index];
    const std::string path = joinPath(parent->path, e.name);
    if (e.link->real.empty()) {
        sink.message(skippedLine(SkipReason::LinkNotFollowed, path, std::strerror(e.link->error)));
        return nullptr;
    }
    const std::string &real = e.link->real;
    // Searched already, or to be searched, through real folders or an earlier link.
    if (!m_rootReal.empty() && isInside(real, m_rootReal))
        return nullptr;
    for (const std::string &f : m_followed) {
        if (isInside(real, f))
            return nullptr;
    }
    auto scope = std::make_shared<Scope>();
    if (!m_rootReal.empty() && isInside(m_rootReal, real))
        scope->excluded.push_back(m_rootReal);
    for (const std::string &f : m_followed) {
        if (isInside(f, real))
            scope->excluded.push_back(f);
    }
    m_followed.push_back(real);

    auto child = std::make_unique<Node>();
    child->path = path;
    child->order = parent->order;
    appendIndex(child->order, index);
    child->throughLink = true;
    child->recordId = e.recordId;
    // Placed by the real path; mount points below it are not looked for.
    child->place = {m_mounts.locate(real).mount, false};
    if (!scope->excluded.empty()) {
        child->scope = std::move(scope);
        child->real = real;
    }
    Node *raw = child.get();
    e.child = std::move(child);
    schedule(raw);
    return raw;
}

// Writes one folder's matches and its complaints; false when it holds nothing to enter.
bool Walker::writeFolder(Node *node, WalkSink &sink, WalkResult &result)
{
    if (!waitFor(node)) {
        sink.message(skippedLine(SkipReason::NotAnswering, node->path));
        m_incomplete = true;
        return false;
    }
    if (m_record)
        record(node);
    if (node->error != 0) {
        sink.message(skippedLine(SkipReason::Unreadable, node->path, std::strerror(node->error)));
    } else if (node->isRoot) {
        result.rootOpened = true;
    }
    std::string line;
    for (const Node::Entry &e : node->entries) {
        if (e.problem == Problem::LineBreak) {
            sink.message(skippedLine(SkipReason::NameNotWritable, joinPath(node->path, e.name),
                                     "the name holds a line break"));
            continue;
        }
        if (e.problem == Problem::TooLong) {
            sink.message(skippedLine(SkipReason::NameNotWritable,
                                     joinPath(node->path, nameStart(e.name)) + "...",
                                     "the path is too long"));
            continue;
        }
        if (!e.listed || result.outputFailed)
            continue;
        line = m_options.fullPaths ? joinPath(node->path, e.name) : std::string(e.name);
        if (sink.line(line))
            ++result.listed;
        else
            result.outputFailed = true;
    }
    return true;
}

// After a failed output: drops what is still queued and waits for the folders being
// read, each until its deadline, as writeFolder() would. One that does not answer by
// then is given up with every folder above it kept, since the writer never reached it.
void Walker::abandonRest(std::unique_lock<std::mutex> &lock)
{
    m_aborting = true;
    m_workCv.notify_all();
    for (;;) {
        for (Node *node : m_heap) {
            if (node->parent && node->parent->fd >= 0)
                childOpened(node->parent);
        }
        m_heap.clear();
        if (m_reading.empty())
            break;
        Node *oldest =
            *std::min_element(m_reading.begin(), m_reading.end(),
                              [](const Node *a, const Node *b) { return a->started < b->started; });
        const Clock::time_point limit = oldest->started + m_deadline;
        if (Clock::now() < limit) {
            m_doneCv.wait_until(lock, limit);
            continue;
        }
        oldest->state.store(State::GivenUp);
        stopReading(oldest);
        ++m_stuck;
        for (Node *n = oldest; n; n = n->parent)
            n->pinned = true;
        m_pinnedAny = true;
    }
    m_aborting = false;
}

// Adds a folder's sub-folders to the index, in the order they are listed. The folder's
// own time is the one its reader took, where that says what its listing holds.
void Walker::record(Node *node)
{
    if (node->recordId != index::FolderIndex::noParent) {
        if (node->error != 0 || node->unsure)
            m_record->setModified(node->recordId - 1, 0);
        else if (node->modified != 0)
            m_record->setModified(node->recordId - 1, node->modified);
    }
    for (Node::Entry &e : node->entries) {
        if (e.kind == EntryKind::Other || e.problem != Problem::None)
            continue;
        e.recordId = m_record->add(node->recordId, e.name, e.folded, e.modified) + 1;
        if (e.child)
            e.child->recordId = e.recordId;
    }
}

// Depth first in listing order: a folder's matches, then each sub-folder's in turn.
// Returns the folders still open when the output failed, innermost last.
std::vector<Walker::Node *> Walker::writeInOrder(Node *root, WalkSink &sink, WalkResult &result)
{
    struct Frame {
        Node *node;
        size_t next;
    };
    std::vector<Frame> stack;
    if (writeFolder(root, sink, result))
        stack.push_back({root, 0});
    while (!stack.empty() && !result.outputFailed) {
        Frame &frame = stack.back();
        Node *node = frame.node;
        Node *next = nullptr;
        while (!next && frame.next < node->entries.size()) {
            const size_t i = frame.next++;
            Node::Entry &e = node->entries[i];
            if (!m_options.recurse || e.problem != Problem::None)
                continue;
            if (e.kind == EntryKind::Folder)
                next = e.child.get();
            else if (e.kind == EntryKind::LinkedFolder)
                next = followLink(node, i, sink);
        }
        if (!next) {
            release(node);
            stack.pop_back();
        } else if (writeFolder(next, sink, result)) {
            stack.push_back({next, 0});
        }
    }
    std::vector<Node *> left;
    for (const Frame &frame : stack)
        left.push_back(frame.node);
    return left;
}

WalkResult Walker::walk(const std::string &root, const Pattern &pattern, const WalkOptions &options,
                        WalkSink &sink, index::FolderIndex *record,
                        std::shared_ptr<const index::FolderIndex> previous)
{
    m_pattern = &pattern;
    m_options = options;
    m_record = record;
    m_incomplete = false;
    m_rootFileSystem = 0;
    m_rootDevice = 0;
    const std::int64_t started = std::int64_t(std::time(nullptr));
    m_followed.clear();
    m_rootReal.clear();
    std::shared_ptr<Confirming> confirming;
    if (record && options.recurse && !options.files)
        confirming = Confirming::of(std::move(previous));
    {
        std::lock_guard lock(m_mutex);
        m_confirming = std::move(confirming);
        startReaders();
    }

    WalkResult result;
    std::unique_ptr<Node> rootNode = takeRoot(root);
    const std::vector<Node *> left = writeInOrder(rootNode.get(), sink, result);

    std::unique_lock lock(m_mutex);
    if (!m_heap.empty() || !m_reading.empty())
        abandonRest(lock);
    m_confirming = nullptr;
    lock.unlock();
    for (auto it = left.rbegin(); it != left.rend(); ++it)
        release(*it); // keeps what a stuck reader may still touch
    m_unreleased = 0;
    if (rootNode->pinned)
        m_pinned.push_back(std::move(rootNode));
    result.complete = !m_incomplete && !result.outputFailed && result.rootOpened;
    if (m_record)
        m_record->setHeader({root, m_rootFileSystem, m_rootDevice, started});
    m_record = nullptr;
    return result;
}

} // namespace moviecat::cmd
