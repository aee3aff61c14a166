#include "query/queryfilter.h"

#include "query/duplicates.h"
#include "query/nameyear.h"

#include <chrono>
#include <ctime>

namespace moviecat::query {

Day localToday()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return Day(now / 86400);
    const std::chrono::year_month_day date{std::chrono::year(local.tm_year + 1900),
                                           std::chrono::month(unsigned(local.tm_mon + 1)),
                                           std::chrono::day(unsigned(local.tm_mday))};
    return Day(std::chrono::sys_days(date).time_since_epoch().count());
}

QueryFilter::QueryFilter(const QueryWords &words, Day today, int latestYear)
    : m_years(words.years), m_newDays(words.newDays), m_today(today), m_latestYear(latestYear)
{}

bool QueryFilter::keeps(int year, std::optional<Day> firstSeen) const
{
    if (m_newDays && m_today - firstSeen.value_or(m_today) >= *m_newDays)
        return false;
    return !m_years || (year >= m_years->first && year <= m_years->last);
}

bool QueryFilter::keeps(std::string_view name, std::optional<Day> firstSeen) const
{
    return keeps(yearInName(name, m_latestYear).value_or(0), firstSeen);
}

std::vector<std::uint32_t> applyWords(const QueryWords &words, Day today, const FilmTable &films,
                                      std::span<const std::uint32_t> rows,
                                      const FirstSeen &firstSeen)
{
    const QueryFilter filter(words, today, films.latestYear());
    std::vector<std::uint32_t> kept;
    if (!filter.narrows()) {
        kept.assign(rows.begin(), rows.end());
    } else {
        for (const std::uint32_t row : rows) {
            if (filter.keeps(films.year(row), words.newDays ? firstSeen(row) : std::nullopt))
                kept.push_back(row);
        }
    }
    return words.duplicates ? duplicateGroups(films, kept).rows : kept;
}

std::vector<std::uint32_t> applyWords(const QueryWords &words, Day today, int latestYear,
                                      std::span<const std::string> foldedLines,
                                      const FirstSeen &firstSeen)
{
    const FoldedNames folded = [&](std::size_t line) {
        return std::string_view(foldedLines[line]);
    };
    const FilmTable films(foldedLines.size(), folded, latestYear);
    std::vector<std::uint32_t> rows(foldedLines.size());
    for (std::size_t line = 0; line < rows.size(); ++line)
        rows[line] = std::uint32_t(line);
    return applyWords(words, today, films, rows, firstSeen);
}

} // namespace moviecat::query
