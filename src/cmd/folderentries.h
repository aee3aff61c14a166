#pragma once

// The entries of one folder as a reader makes them: which a walk lists, their names kept
// in one allocation with their folded forms, and their listing order.
#include "cmd/walknode.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace moviecat::cmd {

// Whether a walk with these options prints a folder, or another entry, of this name.
// With folds, the name's form for the index is added there as well: the match form both
// start from is made once.
bool isListed(std::string_view name, bool folder, const WalkOptions &options,
              const Pattern &pattern, std::string *folds = nullptr);

// Where a reader makes a folder's entries, their names are views of its listing, their
// folded forms spans of its fold buffer. Before the folder is handed on, both are copied
// into the folder's names (keepNames), which is sized once so that it never moves.
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
void keepNames(WalkNode &node, const NameBuffers &buffers);

bool holdsLineBreak(std::string_view name);

// In the listing order: by each name's order key, equal keys by their bytes.
void sortEntries(std::vector<WalkEntry> &entries);

} // namespace moviecat::cmd
