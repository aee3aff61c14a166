#include "cmd/walker.h"

#include "cmd/unicode.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::cmd {

namespace {

// Folders read but not yet written out; past this the readers wait for the writer,
// so a slow folder early in the order cannot make the whole tree pile up in memory.
constexpr size_t readAhead = 4096;
constexpr size_t direntBufferSize = 64 * 1024;

enum class EntryKind : uint8_t { Folder, LinkedFolder, Other };
enum class Problem : uint8_t { None, LineBreak, TooLong };

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

bool isInside(const std::string &path, const std::string &folder)
{
    if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0)
        return false;
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

// Names cannot carry line breaks into a one-path-per-line result file.
std::string printable(std::string_view path)
{
    std::string text;
    for (const char c : path) {
        if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else
            text += c;
    }
    return text;
}

} // namespace

struct Walker::Scope {
    std::vector<std::string> excluded; // real paths already searched another way
};

struct Entry {
    std::string name;
    EntryKind kind = EntryKind::Other;
    Problem problem = Problem::None;
    bool listed = false;
    std::unique_ptr<Walker::Node> child;
};

struct Walker::Node {
    std::string path;  // as opened and printed
    std::string order; // place in the listing order
    std::string real;  // real path, kept only where a scope excludes folders
    std::shared_ptr<const Scope> scope;
    std::vector<Entry> entries;
    int error = 0;
    bool throughLink = false;
    std::atomic<bool> done = false; // set under m_mutex, read without it by the writer
    // Sub-folders open relative to their parent, sparing the kernel the walk down
    // the whole path: the parent's descriptor stays open until the last one has.
    Node *parent = nullptr;
    int fd = -1;
    std::atomic<size_t> unopenedChildren = 0;
};

namespace {

struct LaterFirst {
    bool operator()(const Walker::Node *a, const Walker::Node *b) const
    {
        return a->order > b->order;
    }
};

} // namespace

unsigned Walker::maxThreads()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max(64u, cores * 32);
}

Walker::Walker(unsigned threads)
    : m_threadCount(threads == 0 ? maxThreads() : threads),
      m_baseActive(threads == 0 ? 2 * std::max(1u, std::thread::hardware_concurrency()) : threads),
      m_adaptive(threads == 0), m_active(m_baseActive)
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
    }
    m_parkCv.notify_all();
    m_workCv.notify_all();
    for (std::thread &t : threads)
        t.join();
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
    unsigned reads = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Readers beyond the active count wait apart, so that waking one reader for
        // new work never picks one that may not take it.
        m_parkCv.wait(lock, [this, id] { return m_quit || id < m_active; });
        m_workCv.wait(lock, [this, id] {
            return m_quit || id >= m_active ||
                   (!m_heap.empty() &&
                    (m_unreleased < readAhead || m_heap.front() == m_awaited || m_aborting));
        });
        if (m_quit)
            return;
        if (id >= m_active)
            continue;
        std::pop_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
        Node *node = m_heap.back();
        m_heap.pop_back();
        ++m_inFlight;
        const bool aborting = m_aborting;
        lock.unlock();

        children.clear();
        bool blocked = false;
        bool measured = false;
        if (aborting && node->parent && node->parent->fd >= 0)
            childOpened(node->parent);
        if (!aborting) {
            // Every fourth read is enough to tell whether reads wait.
            measured = m_adaptive && (++reads & 3) == 0;
            process(node, children, measured ? &blocked : nullptr);
        }

        lock.lock();
        if (measured)
            adapt(blocked);
        for (Node *child : children) {
            m_heap.push_back(child);
            std::push_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
        }
        node->done.store(true, std::memory_order_release);
        ++m_unreleased;
        --m_inFlight;
        if (node == m_awaited || (m_aborting && m_inFlight == 0))
            m_doneCv.notify_one();
        for (size_t i = 0; i < children.size() && i < m_active; ++i)
            m_workCv.notify_one();
    }
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

void Walker::process(Node *node, std::vector<Node *> &children, bool *blocked)
{
    thread_local std::vector<char> listing;
    thread_local std::vector<uint32_t> keys;
    thread_local std::vector<uint32_t> key;
    thread_local std::vector<std::pair<size_t, size_t>> spans;
    thread_local std::vector<size_t> order;

    // A read that had to wait (disk, network) shows as a voluntary context switch;
    // only the system calls are measured, so that waiting for a lock here in the
    // program is not taken for a slow disk.
    struct rusage before;
    if (blocked && ::getrusage(RUSAGE_THREAD, &before) != 0)
        blocked = nullptr;
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (!node->throughLink)
        flags |= O_NOFOLLOW; // a folder swapped for a link meanwhile is not followed
    int fd = -1;
    if (node->parent && node->parent->fd >= 0) {
        const char *name = node->path.c_str() + node->path.rfind('/') + 1;
        fd = ::openat(node->parent->fd, name, flags);
        if (fd < 0 && errno != EMFILE && errno != ENFILE)
            node->error = errno;
        childOpened(node->parent);
    }
    if (fd < 0 && node->error == 0)
        fd = ::open(node->path.c_str(), flags);
    if (fd < 0) {
        if (node->error == 0)
            node->error = errno;
        return;
    }

    // The whole listing first, then its entries.
    size_t used = 0;
    for (;;) {
        if (listing.size() < used + direntBufferSize)
            listing.resize(used + direntBufferSize);
        const ssize_t got = ::getdents64(fd, listing.data() + used, direntBufferSize);
        if (got < 0) {
            node->error = errno;
            break;
        }
        if (got == 0)
            break;
        used += size_t(got);
    }
    if (blocked) {
        struct rusage after;
        *blocked = ::getrusage(RUSAGE_THREAD, &after) == 0 &&
                   (after.ru_nvcsw != before.ru_nvcsw || after.ru_inblock != before.ru_inblock);
    }

    const WalkOptions &options = m_options;
    const size_t folderLength = node->path.size() + (node->path.back() == '/' ? 0 : 1);
    std::vector<Entry> &entries = node->entries;
    for (size_t at = 0; at < used;) {
        const auto *d = reinterpret_cast<const dirent64 *>(listing.data() + at);
        at += d->d_reclen;
        const char *name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        unsigned type = d->d_type;
        struct stat st;
        if (type == DT_UNKNOWN) {
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone meanwhile
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        EntryKind kind = EntryKind::Other;
        if (type == DT_DIR)
            kind = EntryKind::Folder;
        else if (type == DT_LNK && ::fstatat(fd, name, &st, 0) == 0 && S_ISDIR(st.st_mode))
            kind = EntryKind::LinkedFolder;
        if (kind == EntryKind::Other && !options.files)
            continue;

        const bool hidden = name[0] == '.';
        const bool wanted = (kind == EntryKind::Other ? options.files : options.folders) &&
                            (options.hidden == HiddenEntries::Include ||
                             (options.hidden == HiddenEntries::Only) == hidden);
        const std::string_view view(name);
        const bool listed = wanted && m_pattern->matches(view);
        if (!listed && !(options.recurse && kind != EntryKind::Other))
            continue;

        Entry &e = entries.emplace_back();
        e.name.assign(view);
        e.kind = kind;
        e.listed = listed;
        if (view.find_first_of("\r\n") != std::string_view::npos)
            e.problem = Problem::LineBreak;
        else if (folderLength + view.size() >= PATH_MAX)
            e.problem = Problem::TooLong;
    }

    if (listing.size() > 4 * direntBufferSize)
        std::vector<char>().swap(listing);

    if (entries.size() > 1) {
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

    if (!options.recurse) {
        ::close(fd);
        return;
    }
    const bool excludes = node->scope && !node->scope->excluded.empty();
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry &e = entries[i];
        if (e.kind != EntryKind::Folder || e.problem != Problem::None)
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
        children.push_back(child.get());
        e.child = std::move(child);
    }
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

void Walker::waitFor(Node *node)
{
    if (node->done.load(std::memory_order_acquire))
        return;
    std::unique_lock lock(m_mutex);
    if (node->done)
        return;
    m_awaited = node;
    if (m_unreleased >= readAhead)
        m_workCv.notify_all(); // readers held back may take this one now
    m_doneCv.wait(lock, [node] { return node->done.load(); });
    m_awaited = nullptr;
}

void Walker::release(Node *node)
{
    std::vector<Entry>().swap(node->entries);
    if (m_unreleased.fetch_sub(1) == readAhead) {
        std::lock_guard lock(m_mutex); // readers check the count under the lock
        m_workCv.notify_all();
    }
}

Walker::Node *Walker::followLink(Node *parent, size_t index, WalkSink &sink)
{
    Entry &e = parent->entries[index];
    const std::string path = joinPath(parent->path, e.name);
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        sink.message("cannot follow link " + path + ": " + std::strerror(errno));
        return nullptr;
    }
    const std::string real(resolved);
    std::free(resolved);
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
    if (!scope->excluded.empty()) {
        child->scope = std::move(scope);
        child->real = real;
    }
    Node *raw = child.get();
    e.child = std::move(child);
    schedule(raw);
    return raw;
}

WalkResult Walker::walk(const std::string &root, const Pattern &pattern, const WalkOptions &options,
                        WalkSink &sink)
{
    m_pattern = &pattern;
    m_options = options;
    m_followed.clear();
    m_rootReal.clear();
    if (char *resolved = ::realpath(root.c_str(), nullptr)) {
        m_rootReal = resolved;
        std::free(resolved);
    }
    {
        std::lock_guard lock(m_mutex);
        startReaders();
    }

    WalkResult result;
    auto rootNode = std::make_unique<Node>();
    rootNode->path = root;
    rootNode->throughLink = true;
    schedule(rootNode.get());

    struct Frame {
        Node *node;
        size_t next;
    };
    std::vector<Frame> stack;
    std::string line;
    auto enter = [&](Node *node) {
        waitFor(node);
        if (node->error != 0) {
            sink.message("cannot read folder " + printable(node->path) + ": " +
                         std::strerror(node->error));
        } else if (node == rootNode.get()) {
            result.rootOpened = true;
        }
        for (const Entry &e : node->entries) {
            if (e.problem == Problem::LineBreak) {
                sink.message("passed over, the name holds a line break: " +
                             printable(joinPath(node->path, e.name)));
                continue;
            }
            if (e.problem == Problem::TooLong) {
                sink.message("passed over, the path is too long: " + node->path + "/" +
                             e.name.substr(0, 64) + "...");
                continue;
            }
            if (!e.listed || result.outputFailed)
                continue;
            line = options.fullPaths ? joinPath(node->path, e.name) : e.name;
            if (sink.line(line))
                ++result.listed;
            else
                result.outputFailed = true;
        }
        stack.push_back({node, 0});
    };

    enter(rootNode.get());
    while (!stack.empty() && !result.outputFailed) {
        Frame &frame = stack.back();
        Node *node = frame.node;
        Node *next = nullptr;
        while (!next && frame.next < node->entries.size()) {
            const size_t i = frame.next++;
            Entry &e = node->entries[i];
            if (!options.recurse || e.problem != Problem::None)
                continue;
            if (e.kind == EntryKind::Folder)
                next = e.child.get();
            else if (e.kind == EntryKind::LinkedFolder)
                next = followLink(node, i, sink);
        }
        if (next) {
            enter(next);
        } else {
            release(node);
            stack.pop_back();
        }
    }

    // After a failed output, let the readers drop what is still queued.
    std::unique_lock lock(m_mutex);
    if (!m_heap.empty() || m_inFlight != 0) {
        m_aborting = true;
        m_workCv.notify_all();
        m_doneCv.wait(lock, [this] { return m_heap.empty() && m_inFlight == 0; });
        m_aborting = false;
    }
    m_unreleased = 0;
    lock.unlock();
    return result;
}

} // namespace moviecat::cmd
