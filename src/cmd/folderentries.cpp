#include "cmd/folderentries.h"

#include <algorithm>
#include <cstring>

namespace moviecat::cmd {

bool isListed(std::string_view name, bool folder, const WalkOptions &options,
              const Pattern &pattern, std::string *folds)
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

void keepNames(WalkNode &node, const NameBuffers &buffers)
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

void sortEntries(std::vector<WalkEntry> &entries)
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
    for (const WalkEntry &e : entries) {
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
    std::vector<WalkEntry> sorted;
    sorted.reserve(entries.size());
    for (const size_t i : order)
        sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
    if (keys.capacity() > (1u << 20))
        std::vector<uint32_t>().swap(keys); // one huge folder should not pin memory
}

} // namespace moviecat::cmd
