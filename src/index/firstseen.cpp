#include "index/firstseen.h"

#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace moviecat::index {

namespace {

// The earlier index's folders by place: the sub-folders of each, in their order.
class EarlierPlaces {
public:
    explicit EarlierPlaces(const FolderIndex &earlier) : m_earlier(earlier)
    {
        // Counted first, then placed: two arrays for all, whatever order the file holds.
        m_start.assign(earlier.size() + 2, 0);
        for (std::size_t i = 0; i < earlier.size(); ++i)
            ++m_start[earlier.parent(i) + 2];
        for (std::size_t p = 2; p < m_start.size(); ++p)
            m_start[p] += m_start[p - 1];
        m_child.resize(earlier.size());
        for (std::size_t i = 0; i < earlier.size(); ++i)
            m_child[m_start[earlier.parent(i) + 1]++] = std::uint32_t(i);
    }

    // For each of the record's folders first..end (sub-folders of one folder), its
    // number + 1 in the earlier index, or 0, among the sub-folders of the earlier folder
    // parent (number + 1; noParent: the root). A walk lists them in the order it listed
    // them before: they are compared in turn, and looked up by name only past a change.
    void match(std::uint32_t parent, const FolderIndex &record, std::size_t first, std::size_t end,
               std::vector<std::uint32_t> &matched)
    {
        const std::span<const std::uint32_t> children(m_child.data() + m_start[parent],
                                                      m_start[parent + 1] - m_start[parent]);
        std::size_t next = 0;
        bool mapped = false;
        for (std::size_t i = first; i < end; ++i) {
            const std::string_view name = record.name(i);
            if (next < children.size() && m_earlier.name(children[next]) == name) {
                matched[i] = children[next++] + 1;
                continue;
            }
            if (!mapped) {
                m_byName.clear();
                for (std::size_t c = 0; c < children.size(); ++c)
                    m_byName.emplace(m_earlier.name(children[c]), c);
                mapped = true;
            }
            const auto it = m_byName.find(name);
            if (it != m_byName.end()) {
                next = it->second + 1;
                matched[i] = children[it->second] + 1;
            }
        }
    }

private:
    const FolderIndex &m_earlier;
    std::vector<std::uint32_t> m_start; // by parent: where its sub-folders start in m_child
    std::vector<std::uint32_t> m_child;
    std::unordered_map<std::string_view, std::size_t> m_byName; // one folder's, in turn
};

} // namespace

void carryFirstSeen(FolderIndex &record, const FolderIndex *earlier)
{
    const FolderIndex::Day today = dayOf(record.header().walkTime);
    if (!earlier || earlier->header().root != record.header().root) {
        for (std::size_t i = 0; i < record.size(); ++i)
            record.setFirstSeen(std::uint32_t(i), today);
        return;
    }
    EarlierPlaces places(*earlier);
    // Each folder's number + 1 in the earlier index, or 0; a walk records a folder's
    // sub-folders together, after the folder.
    std::vector<std::uint32_t> matched(record.size(), 0);
    for (std::size_t first = 0, end = 0; first < record.size(); first = end) {
        const std::uint32_t parent = record.parent(first);
        for (end = first + 1; end < record.size() && record.parent(end) == parent;)
            ++end;
        if (parent == FolderIndex::noParent || matched[parent - 1] != 0)
            places.match(parent == FolderIndex::noParent ? parent : matched[parent - 1], record,
                         first, end, matched);
        for (std::size_t i = first; i < end; ++i)
            record.setFirstSeen(std::uint32_t(i),
                                matched[i] ? earlier->firstSeen(matched[i] - 1) : today);
    }
}

} // namespace moviecat::index
