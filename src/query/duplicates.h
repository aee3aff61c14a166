#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace moviecat::query {

// The film a movie folder holds, the same for every copy of it: its title with blanks,
// dots, dashes and other ASCII punctuation as one blank and apostrophes dropped, folded
// the way the search folds ("Heat (1995)", "heat.1995.1080p" and "HEAT [1995]" alike),
// and its year (findNameYear), so a remake stays apart. Both are read from the name's
// folded form, which the index keeps for every folder and foldedName() gives for a folder
// of the walk's answer: folding leaves digits and ASCII punctuation as they are, and
// reading the folded form spares folding 300,000 names again for each query.
struct FilmKey {
    std::string title; // folded
    int year = 0;

    friend bool operator==(const FilmKey &, const FilmKey &) = default;
};

// Nothing for a name that carries no year or no title: extras, subtitles and a category's
// own sub-folders hold no film, and would otherwise all be "held twice".
std::optional<FilmKey> filmKey(std::string_view folded, int latestYear);

// The films held more than once among the folders given by their names' folded forms,
// whatever root each lies under.
struct DuplicateGroups {
    // Indexes into the folders given: each film's folders next to each other in the
    // order given, the groups in the order of their first member.
    std::vector<std::size_t> members;
    // Where each group ends in members.
    std::vector<std::size_t> groupEnds;
};
DuplicateGroups duplicateGroups(std::span<const std::string_view> folded, int latestYear);

} // namespace moviecat::query
