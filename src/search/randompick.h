#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace moviecat {

// Picks lines of a list at random, none twice until every line has had its turn; then
// the next round begins. No Qt, no widgets: the results list owns one and starts it
// again whenever its lines change.
class RandomPick {
public:
    explicit RandomPick(std::uint32_t seed = std::random_device{}());

    // The list now holds this many lines; what was picked before no longer counts.
    void restart(std::size_t lines);
    // A line not picked yet in this round, or nothing for an empty list.
    std::optional<std::size_t> next();

private:
    std::size_t m_lines = 0;
    // The lines still to pick in this round; filled at a round's first pick, so a list
    // nobody picks from costs nothing.
    std::vector<std::size_t> m_left;
    std::mt19937 m_random;
};

} // namespace moviecat
