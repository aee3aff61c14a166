#pragma once

#include "query/querywords.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace moviecat::query {

// A calendar day: days since 1970-01-01.
using Day = std::int32_t;

// Today in the local time zone, where a user's "new" days turn.
Day localToday();

// The year and new words applied to one folder the name pattern matched, alike for the
// index's answer and the walk's, so the two agree.
class QueryFilter {
public:
    QueryFilter(const QueryWords &words, Day today, int latestYear);

    // Whether the year and new words ask anything of a folder.
    bool narrows() const { return m_years || m_newDays; }
    // name: the folder's name, as on disk or folded. firstSeen: the day the index first
    // saw it, nothing for a folder it does not hold yet, which is new today.
    // With new:N, a folder first seen today or on the N-1 days before is kept.
    bool keeps(std::string_view name, std::optional<Day> firstSeen) const;

private:
    std::optional<YearRange> m_years;
    std::optional<int> m_newDays;
    Day m_today;
    int m_latestYear;
};

// The answer to a search with query words, as indexes into the folders the name pattern
// matched, given by their names' folded forms (duplicates.h): those the filter keeps, in
// the order given; with the dup word, of those only the films held more than once, each
// film's folders next to each other. firstSeen is asked only with a new word.
using FirstSeen = std::function<std::optional<Day>(std::size_t)>;
std::vector<std::size_t> applyWords(const QueryWords &words, Day today, int latestYear,
                                    std::span<const std::string_view> folded,
                                    const FirstSeen &firstSeen);

} // namespace moviecat::query
