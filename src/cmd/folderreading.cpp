#include "cmd/folderreading.h"

#include "base/filesystems.h"
#include "base/paths.h"
#include "cmd/folderentries.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace moviecat::cmd {

namespace {

constexpr size_t direntBufferSize = 64 * 1024;

LinkCount linkCountOf(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return LinkCount::NotCounted;
    return countsSubfolderLinks(static_cast<unsigned long>(fs.f_type)) ? LinkCount::Counted
                                                                       : LinkCount::NotCounted;
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

// One entry of a listing as the walk sees it: from its type there, or a stat where that
// says nothing; folders also asked for their own time and link count where that helps.
struct Looked {
    WalkEntryKind kind = WalkEntryKind::Other;
    bool gone = false;          // removed since the listing was read
    bool link = false;          // a link, whose target may change without its folder's time
    bool folderStatted = false; // st holds the folder's (or link target's) own stat
    bool leaf = false;
    bool otherDevice = false;
    struct stat st;
};

Looked lookAt(int fd, const char *name, unsigned type, const WalkNode &node, bool leafShortcut)
{
    Looked l;
    bool statted = false;
    if (type == DT_UNKNOWN) {
        if (::fstatat(fd, name, &l.st, AT_SYMLINK_NOFOLLOW) != 0) {
            l.gone = true;
            return l;
        }
        statted = true;
        type = S_ISDIR(l.st.st_mode) ? DT_DIR : S_ISLNK(l.st.st_mode) ? DT_LNK : DT_REG;
    }
    l.link = type == DT_LNK;
    if (type == DT_DIR)
        l.kind = WalkEntryKind::Folder;
    else if (type == DT_LNK && ::fstatat(fd, name, &l.st, 0) == 0 && S_ISDIR(l.st.st_mode))
        l.kind = WalkEntryKind::LinkedFolder;
    l.folderStatted =
        l.kind != WalkEntryKind::Other && (statted || l.kind == WalkEntryKind::LinkedFolder);
    // Only sub-folders matter below here: one whose link count says it holds none is
    // matched by name and never opened.
    if (leafShortcut && l.kind == WalkEntryKind::Folder &&
        (statted || ::fstatat(fd, name, &l.st, AT_SYMLINK_NOFOLLOW) == 0) &&
        S_ISDIR(l.st.st_mode)) {
        l.otherDevice = l.st.st_dev != node.device;
        l.leaf = !l.otherDevice && l.st.st_nlink == 2; // below 2: not counted after all
        l.folderStatted = true;
    }
    return l;
}

// Adds the entry to the folder where the walk lists it, or needs it to go on or for the
// index.
void addEntry(WalkNode &node, std::string_view name, const Looked &looked, const WalkState &walk,
              size_t folderLength, NameBuffers &buffers)
{
    const WalkOptions &options = walk.options;
    const bool folder = looked.kind != WalkEntryKind::Other;
    const std::size_t foldAt = buffers.folds.size();
    const bool listed = isListed(name, folder, options, walk.pattern,
                                 walk.recording && folder ? &buffers.folds : nullptr);
    // The index holds every folder, matching or not, leaves included.
    if (!listed && !(folder && ((options.recurse && !looked.leaf) || walk.recording))) {
        buffers.folds.resize(foldAt);
        return;
    }
    WalkEntry &e = node.entries.emplace_back();
    e.name = name;
    e.kind = looked.kind;
    e.listed = listed;
    e.leaf = looked.leaf;
    e.otherDevice = looked.otherDevice;
    if (holdsLineBreak(name))
        e.problem = NameProblem::LineBreak;
    else if (folderLength + name.size() >= PATH_MAX)
        e.problem = NameProblem::TooLong;
    if (e.problem != NameProblem::None) {
        node.unsure = true; // the index holds no such name to complain about
        buffers.folds.resize(foldAt);
    } else if (e.kind == WalkEntryKind::LinkedFolder && options.recurse) {
        // Resolved here, not by the writer: a link into a dead share must only ever hold
        // up a reader.
        e.link = std::make_unique<WalkEntry::Link>();
        e.link->real = realPath(joinPath(node.path, name));
        if (e.link->real.empty())
            e.link->error = errno;
    }
    buffers.addSpan(foldAt);
    if (walk.recording && folder && e.problem == NameProblem::None && looked.folderStatted)
        e.modified = changeTime(looked.st);
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

FolderReading::FolderReading(FolderReader &reader, const MountWatch &mounts)
    : m_reader(reader), m_mounts(mounts)
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

bool FolderReading::read(WalkNode &node, std::vector<WalkNode *> &children, WalkState &walk)
{
    thread_local std::vector<char> listing;
    const auto start = WalkClock::now();
    bool blocked = false;
    if (node.previousId != 0 && walk.earlier && confirm(node, children, walk, blocked))
        return blocked;
    const int fd = openFolder(node);
    if (fd < 0)
        return false;
    size_t used = 0;
    readListing(node, fd, listing, used);
    blocked = WalkClock::now() - start > blockedAfter;
    learnFileSystem(node, fd, walk);
    collectEntries(node, fd, listing, used, walk);
    if (listing.size() > 4 * direntBufferSize)
        std::vector<char>().swap(listing);
    sortEntries(node.entries);
    if (walk.options.recurse)
        addChildren(node, fd, children, walk);
    else
        ::close(fd);
    return blocked;
}

int FolderReading::openFolder(WalkNode &node)
{
    if (node.preopened >= 0)
        return std::exchange(node.preopened, -1);
    int flags = folderOpenFlags;
    if (!node.throughLink)
        flags |= O_NOFOLLOW; // a folder swapped for a link meanwhile is not followed
    int fd = -1;
    if (node.parent && node.parent->fd >= 0) {
        const char *name = node.path.c_str() + node.path.rfind('/') + 1;
        fd = m_reader.open(node.parent->fd, name, flags);
        if (fd < 0 && errno != EMFILE && errno != ENFILE)
            node.error = errno;
        childOpened(*node.parent);
    }
    if (fd < 0 && node.error == 0)
        fd = m_reader.open(AT_FDCWD, node.path.c_str(), flags);
    if (fd < 0 && node.error == 0)
        node.error = errno;
    return fd;
}

// The whole listing first, then its entries.
bool FolderReading::readListing(WalkNode &node, int fd, std::vector<char> &listing, size_t &used)
{
    for (;;) {
        if (listing.size() < used + direntBufferSize)
            listing.resize(used + direntBufferSize);
        const long got = m_reader.read(fd, listing.data() + used, direntBufferSize);
        if (got < 0) {
            node.error = errno;
            return false;
        }
        if (got == 0)
            return true;
        used += size_t(got);
    }
}

// What only the root's reader learns, into its own walk's state.
void FolderReading::learnRoot(WalkNode &node, int fd, WalkState &walk)
{
    WalkState::Root &root = walk.root;
    // Through the descriptor: the path may lead through links.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(self.c_str(), buffer, sizeof buffer);
    root.real = length > 0 && size_t(length) < sizeof buffer && buffer[0] == '/'
                    ? std::string(buffer, size_t(length))
                    : realPath(node.path);
    struct statfs fs;
    struct stat st;
    if (!walk.recording || ::fstatfs(fd, &fs) != 0 || ::fstat(fd, &st) != 0)
        return;
    root.fileSystem = static_cast<unsigned long>(fs.f_type);
    root.device = st.st_dev;
    // The same file system as the earlier walk's, or nothing of it is taken.
    if (walk.earlier) {
        const index::FolderIndex::Header &before = walk.earlier->index->header();
        root.sameAsBefore = before.fileSystem == root.fileSystem && before.device == root.device;
        root.settledBefore = before.walkTime - timeGranularity(fs.f_type);
    }
}

void FolderReading::learnFileSystem(WalkNode &node, int fd, WalkState &walk)
{
    if (node.isRoot)
        learnRoot(node, fd, walk);
    // The parent's stat of it, where there was one, gave its time already.
    if (walk.recording && !node.isRoot && node.modified == 0) {
        struct stat st;
        if (::fstat(fd, &st) == 0) {
            node.modified = changeTime(st);
            node.unsure = node.unsure || st.st_dev != walk.root.device;
        }
    }
    if (node.links != LinkCount::Unknown || !walk.options.recurse || walk.options.files)
        return;
    node.links = linkCountOf(fd);
    struct stat st;
    if (node.links == LinkCount::Counted) {
        if (::fstat(fd, &st) == 0)
            node.device = st.st_dev;
        else
            node.links = LinkCount::NotCounted;
    }
}

void FolderReading::collectEntries(WalkNode &node, int fd, const std::vector<char> &listing,
                                   size_t used, const WalkState &walk)
{
    const WalkOptions &options = walk.options;
    const bool leafShortcut = options.recurse && !options.files && node.links == LinkCount::Counted;
    const size_t folderLength = node.path.size() + (node.path.back() == '/' ? 0 : 1);
    // Room for every entry that may be a folder (or any entry, where others are listed).
    size_t room = 0;
    for (size_t at = 0; at < used;) {
        const auto *d = reinterpret_cast<const dirent64 *>(listing.data() + at);
        at += d->d_reclen;
        room +=
            options.files || d->d_type == DT_DIR || d->d_type == DT_LNK || d->d_type == DT_UNKNOWN;
    }
    node.entries.reserve(room);
    thread_local NameBuffers buffers;
    buffers.clear();
    for (size_t at = 0; at < used;) {
        const auto *d = reinterpret_cast<const dirent64 *>(listing.data() + at);
        at += d->d_reclen;
        const char *name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        const Looked looked = lookAt(fd, name, d->d_type, node, leafShortcut);
        if (looked.gone)
            continue;
        if (looked.link)
            node.unsure = true;
        if (looked.kind != WalkEntryKind::Other || options.files)
            addEntry(node, name, looked, walk, folderLength, buffers);
    }
    keepNames(node, buffers);
}

void FolderReading::addChildren(WalkNode &node, int fd, std::vector<WalkNode *> &children,
                                const WalkState &walk)
{
    const bool excludes = node.scope && !node.scope->excluded.empty();
    for (size_t i = 0; i < node.entries.size(); ++i) {
        WalkEntry &e = node.entries[i];
        if (e.kind != WalkEntryKind::Folder || e.problem != NameProblem::None || e.leaf)
            continue;
        auto child = std::make_unique<WalkNode>();
        if (excludes) {
            child->real = joinPath(node.real, e.name);
            const auto &excluded = node.scope->excluded;
            if (std::find(excluded.begin(), excluded.end(), child->real) != excluded.end())
                continue;
            child->scope = node.scope;
        }
        child->path = joinPath(node.path, e.name);
        child->order = node.order;
        appendIndex(child->order, i);
        child->parent = &node;
        // Its time from this listing's stat, where that also showed it on the root's
        // device; else it is taken when the folder is opened.
        if (node.links == LinkCount::Counted && !e.otherDevice && node.device == walk.root.device)
            child->modified = e.modified;
        child->place = m_mounts.locateChild(node.place, child->path);
        child->previousId = !node.isRoot             ? e.previousId
                            : walk.root.sameAsBefore ? walk.earlier->topFolder(e.name)
                                                     : 0;
        // A mount point below shows its own kind of file system when it is opened.
        if (node.links == LinkCount::NotCounted ||
            (node.links == LinkCount::Counted && !e.otherDevice)) {
            child->links = node.links;
            child->device = node.device;
        }
        children.push_back(child.get());
        e.child = std::move(child);
    }
    if (fd >= 0)
        keepOpen(node, fd, children.size());
}

void FolderReading::keepOpen(WalkNode &node, int fd, size_t children)
{
    // Within budget only: the rest of the children open by their full path.
    if (children == 0 || m_keptOpen.fetch_add(1) >= m_keepOpenBudget) {
        if (children != 0)
            m_keptOpen.fetch_sub(1);
        ::close(fd);
        return;
    }
    node.unopenedChildren.store(children);
    node.fd = fd;
}

void FolderReading::childOpened(WalkNode &parent)
{
    if (parent.unopenedChildren.fetch_sub(1) == 1) {
        ::close(parent.fd);
        m_keptOpen.fetch_sub(1);
    }
}

void FolderReading::drop(WalkNode &node)
{
    std::vector<WalkEntry>().swap(node.entries);
    std::string().swap(node.names);
    if (node.fd >= 0) {
        ::close(node.fd);
        node.fd = -1;
        m_keptOpen.fetch_sub(1);
    }
}

} // namespace moviecat::cmd
