// Confirming a folder against the earlier walk's index: a folder whose time is still the
// one there is not listed again, its sub-folders are taken from the index.
#include "cmd/folderentries.h"
#include "cmd/folderreading.h"

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::cmd {

namespace {

// A folder only looked into by name, never listed.
constexpr int pathOpenFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace

std::shared_ptr<const EarlierIndex>
EarlierIndex::of(std::shared_ptr<const index::FolderIndex> index)
{
    if (!index)
        return nullptr;
    auto earlier = std::make_shared<EarlierIndex>();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> &runs = earlier->runs;
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
        if (!earlier->top.emplace(index->name(c), c + 1).second)
            return nullptr;
    }
    earlier->index = std::move(index);
    return earlier;
}

// True when the folder is the same as in the earlier walk's index, so its sub-folders are
// taken from there: its time (one stat) is that index's and older than its walk by more
// than the file system's granularity; or its link count says it holds none.
// False where it must be listed, which then tells whatever is wrong with it.
// blocked: a call waited for a disk or the network.
bool FolderReading::confirm(WalkNode &node, std::vector<WalkNode *> &children,
                            const WalkState &walk, bool &blocked)
{
    WalkNode *parent = node.parent;
    const bool relative = parent && parent->fd >= 0;
    const char *name = relative ? node.path.c_str() + node.path.rfind('/') + 1 : node.path.c_str();
    struct stat st;
    const auto asked = WalkClock::now();
    if (m_reader.stat(relative ? parent->fd : AT_FDCWD, name, &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_dev != walk.root.device)
        return false;
    blocked = WalkClock::now() - asked > blockedAfter;
    if (node.state.load() == ReadState::GivenUp)
        return true; // answered too late: nobody waits for it, and its walk may be over
    node.modified = changeTime(st);
    // As the parent's listing would have found it: no sub-folders, never opened.
    const bool leaf =
        node.links == LinkCount::Counted && st.st_dev == node.device && st.st_nlink == 2;
    if (!leaf) {
        const Earlier taken = takeEarlier(node, children, walk, relative, name, blocked);
        if (taken != Earlier::Taken)
            return taken == Earlier::TooLate;
    }
    if (relative)
        childOpened(*parent);
    return true;
}

FolderReading::Earlier FolderReading::takeEarlier(WalkNode &node, std::vector<WalkNode *> &children,
                                                  const WalkState &walk, bool relative,
                                                  const char *name, bool &blocked)
{
    const std::uint32_t before = walk.earlier->index->modified(node.previousId - 1);
    if (before == 0 || before != node.modified || before >= walk.root.settledBefore)
        return Earlier::ListInstead;
    int fd = -1;
    auto listInstead = [&] {
        if (fd >= 0)
            ::close(fd);
        node.entries.clear();
        node.names.clear();
        return Earlier::ListInstead;
    };
    if (!addEarlierEntries(node, walk, relative, name, fd, blocked))
        return listInstead();
    if (node.state.load() == ReadState::GivenUp) { // answered too late, as above
        listInstead();
        return Earlier::TooLate;
    }
    sortEntries(node.entries);
    for (size_t i = 1; i < node.entries.size(); ++i) {
        if (node.entries[i].name == node.entries[i - 1].name)
            return listInstead(); // not an index a walk wrote
    }
    addChildren(node, fd, children, walk);
    return Earlier::Taken;
}

// The folder's sub-folders as the earlier index holds them. Those that held none then are
// asked here, through the folder (fd, opened on the first), whether they still hold none,
// as its listing would have: those are never queued or opened. Not where calls wait (a
// network share): there they are asked side by side, each queued as a folder of its own.
// False where the folder must be listed after all.
bool FolderReading::addEarlierEntries(WalkNode &node, const WalkState &walk, bool relative,
                                      const char *name, int &fd, bool &blocked)
{
    const EarlierIndex &earlier = *walk.earlier;
    const index::FolderIndex &previous = *earlier.index;
    const auto [first, count] = earlier.runs[node.previousId];
    bool leavesHere = node.links == LinkCount::Counted && !blocked;
    thread_local NameBuffers buffers;
    buffers.clear();
    for (std::uint32_t c = first; c < first + count; ++c) {
        WalkEntry &e = node.entries.emplace_back();
        e.name = previous.name(c);
        e.kind = WalkEntryKind::Folder;
        const std::size_t foldAt = buffers.folds.size();
        e.listed = isListed(e.name, true, walk.options, walk.pattern, &buffers.folds);
        buffers.addSpan(foldAt);
        e.previousId = c + 1;
        if (!leavesHere || earlier.runs[c + 1].second != 0)
            continue;
        const auto callStart = WalkClock::now();
        if (fd < 0) {
            fd = m_reader.open(relative ? node.parent->fd : AT_FDCWD, name, pathOpenFlags);
            if (fd < 0)
                return false;
        }
        // Gone, or no longer a folder, since the folder's own time was taken.
        struct stat sub;
        thread_local std::string subName;
        subName.assign(e.name);
        if (m_reader.stat(fd, subName.c_str(), &sub) != 0 || !S_ISDIR(sub.st_mode))
            return false;
        e.otherDevice = sub.st_dev != node.device;
        e.leaf = !e.otherDevice && sub.st_nlink == 2;
        e.modified = changeTime(sub);
        if (WalkClock::now() - callStart > blockedAfter)
            leavesHere = false;
        blocked = blocked || !leavesHere;
    }
    keepNames(node, buffers);
    return true;
}

} // namespace moviecat::cmd
