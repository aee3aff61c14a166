// The walk and its ordered writer (see the map in walker.h): queues the root, writes each
// folder's matches as soon as everything before them is known, enters linked folders
// once, records every folder listed into the index, and frees what it has written.
#include "cmd/walker.h"

#include "base/helperreport.h"
#include "base/paths.h"
#include "cmd/readerpool.h"
#include "cmd/walknode.h"
#include "index/firstseen.h"

#include <cstring>
#include <ctime>

namespace moviecat::cmd {

namespace {

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

} // namespace

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

Walker::Walker(const WalkerSettings &settings) : m_pool(std::make_unique<ReaderPool>(settings)) {}

Walker::~Walker() = default;

unsigned Walker::maxThreads()
{
    return ReaderPool::maxThreads();
}

unsigned Walker::stuckReaders() const
{
    return m_pool->stuck();
}

void Walker::openAhead(const std::vector<std::string> &roots)
{
    m_pool->openAhead(roots);
}

void Walker::release(WalkNode *node)
{
    if (m_pool->anyPinned()) {
        for (WalkEntry &e : node->entries) {
            if (e.child && e.child->pinned)
                m_pinned.push_back(std::move(e.child));
        }
    }
    std::vector<WalkEntry>().swap(node->entries);
    std::string().swap(node->names);
}

WalkNode *Walker::followLink(WalkNode *parent, size_t index, WalkSink &sink)
{
    WalkEntry &e = parent->entries[index];
    const std::string path = joinPath(parent->path, e.name);
    if (e.link->real.empty()) {
        sink.message(skippedLine(SkipReason::LinkNotFollowed, path, std::strerror(e.link->error)));
        return nullptr;
    }
    const std::string &real = e.link->real;
    // The root's reader is done with it: links are followed only below a root that answered.
    const std::string &rootReal = m_walk->root.real;
    // Searched already, or to be searched, through real folders or an earlier link.
    if (!rootReal.empty() && isInside(real, rootReal))
        return nullptr;
    for (const std::string &f : m_followed) {
        if (isInside(real, f))
            return nullptr;
    }
    auto scope = std::make_shared<WalkScope>();
    if (!rootReal.empty() && isInside(rootReal, real))
        scope->excluded.push_back(rootReal);
    for (const std::string &f : m_followed) {
        if (isInside(f, real))
            scope->excluded.push_back(f);
    }
    m_followed.push_back(real);

    auto child = std::make_unique<WalkNode>();
    child->path = path;
    child->order = parent->order;
    appendIndex(child->order, index);
    child->throughLink = true;
    child->recordId = e.recordId;
    // Placed by the real path; mount points below it are not looked for.
    child->place = {m_pool->mounts().locate(real).mount, false};
    if (!scope->excluded.empty()) {
        child->scope = std::move(scope);
        child->real = real;
    }
    WalkNode *raw = child.get();
    e.child = std::move(child);
    m_pool->schedule(raw);
    return raw;
}

// Writes one folder's matches and its complaints; false when it holds nothing to enter.
bool Walker::writeFolder(WalkNode *node, WalkSink &sink, WalkResult &result)
{
    if (!m_pool->waitFor(node)) {
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
    m_rootRead = m_rootRead || node->isRoot;
    std::string line;
    for (const WalkEntry &e : node->entries) {
        if (e.problem == NameProblem::LineBreak) {
            sink.message(skippedLine(SkipReason::NameNotWritable, joinPath(node->path, e.name),
                                     "the name holds a line break"));
            continue;
        }
        if (e.problem == NameProblem::TooLong) {
            sink.message(skippedLine(SkipReason::NameNotWritable,
                                     joinPath(node->path, nameStart(e.name)) + "...",
                                     "the path is too long"));
            continue;
        }
        if (!e.listed || result.outputFailed)
            continue;
        line = m_walk->options.fullPaths ? joinPath(node->path, e.name) : std::string(e.name);
        if (sink.line(line))
            ++result.listed;
        else
            result.outputFailed = true;
    }
    return true;
}

// Adds a folder's sub-folders to the index, in the order they are listed. The folder's
// own time is the one its reader took, where that says what its listing holds.
void Walker::record(WalkNode *node)
{
    if (node->recordId != index::FolderIndex::noParent) {
        if (node->error != 0 || node->unsure)
            m_record->setModified(node->recordId - 1, 0);
        else if (node->modified != 0)
            m_record->setModified(node->recordId - 1, node->modified);
    }
    for (WalkEntry &e : node->entries) {
        if (e.kind == WalkEntryKind::Other || e.problem != NameProblem::None)
            continue;
        e.recordId = m_record->add(node->recordId, e.name, e.folded, e.modified) + 1;
        if (e.child)
            e.child->recordId = e.recordId;
    }
}

// Depth first in listing order: a folder's matches, then each sub-folder's in turn.
// Returns the folders still open when the output failed, innermost last.
std::vector<WalkNode *> Walker::writeInOrder(WalkNode *root, WalkSink &sink, WalkResult &result)
{
    struct Frame {
        WalkNode *node;
        size_t next;
    };
    std::vector<Frame> stack;
    if (writeFolder(root, sink, result))
        stack.push_back({root, 0});
    while (!stack.empty() && !result.outputFailed) {
        Frame &frame = stack.back();
        WalkNode *node = frame.node;
        WalkNode *next = nullptr;
        while (!next && frame.next < node->entries.size()) {
            const size_t i = frame.next++;
            WalkEntry &e = node->entries[i];
            if (!m_walk->options.recurse || e.problem != NameProblem::None)
                continue;
            if (e.kind == WalkEntryKind::Folder)
                next = e.child.get();
            else if (e.kind == WalkEntryKind::LinkedFolder)
                next = followLink(node, i, sink);
        }
        if (!next) {
            release(node);
            m_pool->written();
            stack.pop_back();
        } else if (writeFolder(next, sink, result)) {
            stack.push_back({next, 0});
        }
    }
    std::vector<WalkNode *> left;
    for (const Frame &frame : stack)
        left.push_back(frame.node);
    return left;
}

WalkResult Walker::walk(const std::string &root, const Pattern &pattern, const WalkOptions &options,
                        WalkSink &sink, index::FolderIndex *record,
                        std::shared_ptr<const index::FolderIndex> previous)
{
    m_record = record;
    m_incomplete = false;
    m_rootRead = false;
    const std::int64_t started = std::int64_t(std::time(nullptr));
    m_followed.clear();
    auto next = std::make_shared<WalkState>();
    next->pattern = pattern;
    next->options = options;
    next->recording = record != nullptr;
    if (record && options.recurse && !options.files)
        next->earlier = EarlierIndex::of(previous);
    m_walk = next;
    m_pool->begin(std::move(next));

    WalkResult result;
    std::unique_ptr<WalkNode> rootNode = m_pool->takeRoot(root);
    const std::vector<WalkNode *> left = writeInOrder(rootNode.get(), sink, result);

    m_pool->end();
    for (auto it = left.rbegin(); it != left.rend(); ++it)
        release(*it); // keeps what a stuck reader may still touch
    if (rootNode->pinned)
        m_pinned.push_back(std::move(rootNode));
    result.complete = !m_incomplete && !result.outputFailed && result.rootOpened;
    if (m_record) {
        // Nothing of a root given up: its reader may yet write what it learns.
        const WalkState::Root facts = m_rootRead ? m_walk->root : WalkState::Root{};
        m_record->setHeader({root, facts.fileSystem, facts.device, started});
        // By place, so that a folder listed again keeps its day as one confirmed does.
        index::carryFirstSeen(*m_record, previous.get());
    }
    m_record = nullptr;
    m_walk = nullptr; // the earlier index goes with it
    return result;
}

} // namespace moviecat::cmd
