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

bool QueryFilter::keeps(std::string_view name, std::optional<Day> firstSeen) const
{
    if (m_newDays && m_today - firstSeen.value_or(m_today) >= *m_newDays)
        return false;
    if (m_years) {
        const std::optional<int> year = yearInName(name, m_latestYear);
        if (!year || *year < m_years->first || *year > m_years->last)
            return false;
    }
    return true;
}

std::vector<std::size_t> applyWords(const QueryWords &words, Day today, int latestYear,
                                    std::span<const std::string_view> folded,
                                    const FirstSeen &firstSeen)
{
    const QueryFilter filter(words, today, latestYear);
    std::vector<std::size_t> kept;
    std::vector<std::string_view> keptFolded;
    kept.reserve(folded.size());
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if (filter.keeps(folded[i], words.newDays ? firstSeen(i) : std::nullopt)) {
            kept.push_back(i);
            keptFolded.push_back(folded[i]);
        }
    }
    if (!words.duplicates)
        return kept;
    std::vector<std::size_t> grouped = duplicateGroups(keptFolded, latestYear).members;
    for (std::size_t &member : grouped)
        member = kept[member];
    return grouped;
}

} // namespace moviecat::query
