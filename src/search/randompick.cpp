#include "search/randompick.h"

#include <numeric>

namespace moviecat {

RandomPick::RandomPick(std::uint32_t seed) : m_random(seed) {}

void RandomPick::restart(std::size_t lines)
{
    m_lines = lines;
    m_left.clear();
}

std::optional<std::size_t> RandomPick::next()
{
    if (m_lines == 0)
        return std::nullopt;
    if (m_left.empty()) {
        m_left.resize(m_lines);
        std::iota(m_left.begin(), m_left.end(), std::size_t(0));
    }
    // Takes one of the lines left and puts the last one in its place.
    std::uniform_int_distribution<std::size_t> among(0, m_left.size() - 1);
    const std::size_t at = among(m_random);
    const std::size_t line = m_left[at];
    m_left[at] = m_left.back();
    m_left.pop_back();
    return line;
}

} // namespace moviecat
