#include "query/randompick.h"

#include <numeric>
#include <utility>

namespace moviecat::query {

RandomPick::RandomPick(std::uint64_t seed) : m_random(seed) {}

void RandomPick::reset(std::size_t lines)
{
    m_order.resize(lines);
    std::iota(m_order.begin(), m_order.end(), std::size_t(0));
    m_taken = 0;
    m_last.reset();
}

std::optional<std::size_t> RandomPick::next()
{
    const std::size_t lines = m_order.size();
    if (lines == 0)
        return std::nullopt;
    if (m_taken == lines)
        m_taken = 0;
    // One step of a Fisher-Yates shuffle: a line not yet picked this round.
    const bool newRound = m_taken == 0;
    const std::size_t from = m_taken;
    std::size_t at = std::uniform_int_distribution<std::size_t>(from, lines - 1)(m_random);
    if (newRound && lines > 1 && m_order[at] == m_last) {
        // Any other line of the round instead of the one just shown.
        at = std::uniform_int_distribution<std::size_t>(from, lines - 2)(m_random);
        if (m_order[at] == m_last)
            at = lines - 1;
    }
    std::swap(m_order[m_taken], m_order[at]);
    m_last = m_order[m_taken++];
    return m_last;
}

} // namespace moviecat::query
