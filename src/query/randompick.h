#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace moviecat::query {

// Picks lines of a list at random, every line once before any line twice: each round
// is a shuffle of all the lines, taken one pick at a time. A new round never begins with
// the line the last one ended with, so no line comes twice running where there are two.
class RandomPick {
public:
    explicit RandomPick(std::uint64_t seed = std::random_device{}());

    // Starts afresh over a list of this many lines (a new answer).
    void reset(std::size_t lines);
    std::size_t size() const { return m_order.size(); }
    // The next line, nothing for an empty list.
    std::optional<std::size_t> next();

private:
    std::vector<std::size_t> m_order; // [0, m_taken) picked this round
    std::size_t m_taken = 0;
    std::optional<std::size_t> m_last;
    std::mt19937_64 m_random;
};

} // namespace moviecat::query
