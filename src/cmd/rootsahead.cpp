// The roots of the walks to come, opened at once, each on a thread of its own, so that
// roots on shares that do not answer use up their deadlines side by side.
#include "cmd/readerpool.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace moviecat::cmd {

namespace {

// Roots opened ahead of their walks at most, each by a thread of its own.
constexpr size_t maxOpenAhead = 64;

} // namespace

void ReaderPool::openAhead(const std::vector<std::string> &roots)
{
    std::lock_guard lock(m_mutex);
    for (const std::string &root : roots) {
        if (m_ahead.size() >= maxOpenAhead)
            break;
        auto node = std::make_unique<WalkNode>();
        node->path = root;
        node->throughLink = true;
        node->isRoot = true;
        node->place = m_mounts.locate(root);
        node->openingAhead = true;
        node->state.store(ReadState::Reading);
        node->started = WalkClock::now();
        m_mounts.callStarted(node->place.mount, node->started);
        ++m_stuck; // until it answers: a batch that ends first must not wait for it
        m_openers.emplace_back([this, raw = node.get()] { openRootAhead(raw); });
        m_ahead.push_back(std::move(node));
    }
}

// On an opener's thread; the root stays pinned in case it is given up meanwhile.
void ReaderPool::openRootAhead(WalkNode *node)
{
    const int fd = m_reader->open(AT_FDCWD, node->path.c_str(), folderOpenFlags);
    const int error = fd < 0 && errno != EMFILE && errno != ENFILE ? errno : 0;
    std::lock_guard lock(m_mutex);
    m_mounts.callAnswered(node->place.mount);
    node->openingAhead = false;
    --m_stuck;
    if (node->state.load() == ReadState::GivenUp) {
        if (fd >= 0)
            ::close(fd); // too late: its walk has moved on
        return;
    }
    node->preopened = fd;
    node->error = error;
    node->state.store(ReadState::Queued);
    if (node->claimed) {
        m_heap.push_back(node);
        std::push_heap(m_heap.begin(), m_heap.end(), LaterFirst{});
        m_workCv.notify_one();
    }
    if (node == m_awaited)
        m_doneCv.notify_one();
}

// A walk's root, opened ahead or not, in the queue or on its way there.
std::unique_ptr<WalkNode> ReaderPool::takeRoot(const std::string &root)
{
    std::unique_ptr<WalkNode> node;
    {
        std::lock_guard lock(m_mutex);
        const auto ahead = std::find_if(m_ahead.begin(), m_ahead.end(), [&](const auto &n) {
            return n->path == root && !n->claimed;
        });
        if (ahead != m_ahead.end()) {
            node = std::move(*ahead);
            m_ahead.erase(ahead);
            node->claimed = true;
            if (node->state.load() != ReadState::Queued) {
                node->pinned = true; // its opener holds it, and queues it once it answers
                return node;
            }
        }
    }
    if (!node) {
        node = std::make_unique<WalkNode>();
        node->path = root;
        node->throughLink = true;
        node->isRoot = true;
        node->place = m_mounts.locate(root);
    }
    schedule(node.get());
    return node;
}

} // namespace moviecat::cmd
