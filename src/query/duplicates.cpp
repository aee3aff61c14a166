#include "query/duplicates.h"

namespace moviecat::query {

DuplicateGroups duplicateGroups(const FilmTable &films, std::span<const std::uint32_t> rows)
{
    // How many of the rows hold each film, then a place for each film held more than
    // once in the order of its first row, then the rows laid out by those places: three
    // passes over the rows, no sorting.
    constexpr std::uint32_t none = 0xFFFFFFFFu;
    std::vector<std::uint32_t> count(std::size_t(films.films()) + 1, 0);
    for (const std::uint32_t row : rows)
        ++count[films.film(row)];
    count[0] = 0; // rows that hold no film
    std::vector<std::uint32_t> group(count.size(), none);
    DuplicateGroups result;
    std::size_t end = 0;
    for (const std::uint32_t row : rows) {
        const std::uint32_t film = films.film(row);
        if (count[film] > 1 && group[film] == none) {
            group[film] = std::uint32_t(result.groupEnds.size());
            end += count[film];
            result.groupEnds.push_back(end);
        }
    }
    result.rows.resize(end);
    std::vector<std::size_t> next(result.groupEnds.size());
    for (std::size_t g = 1; g < next.size(); ++g)
        next[g] = result.groupEnds[g - 1];
    for (const std::uint32_t row : rows) {
        const std::uint32_t g = group[films.film(row)];
        if (g != none)
            result.rows[next[g]++] = row;
    }
    return result;
}

} // namespace moviecat::query
