#pragma once

#include "query/films.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace moviecat::query {

// The films held more than once among some rows of a table: the folders a name pattern
// matched, whatever root each lies under.
struct DuplicateGroups {
    // Each film's rows next to each other in the order given, the films in the order of
    // their first row.
    std::vector<std::uint32_t> rows;
    // Where each film ends in rows.
    std::vector<std::size_t> groupEnds;
};
DuplicateGroups duplicateGroups(const FilmTable &films, std::span<const std::uint32_t> rows);

} // namespace moviecat::query
