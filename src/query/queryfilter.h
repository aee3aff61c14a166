#pragma once

#include "query/films.h"
#include "query/querywords.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
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
    // year: the one its name carries (FilmTable::year), 0 for none. firstSeen: the day the
    // index first saw it, nothing for a folder it does not hold yet, which is new today.
    // With new:N, a folder first seen today or on the N-1 days before is kept.
    bool keeps(int year, std::optional<Day> firstSeen) const;
    // The same for a folder's name, as on disk or folded.
    bool keeps(std::string_view name, std::optional<Day> firstSeen) const;

private:
    std::optional<YearRange> m_years;
    std::optional<int> m_newDays;
    Day m_today;
    int m_latestYear;
};

// The first day the index saw the folder of a row, nothing for one it does not hold.
using FirstSeen = std::function<std::optional<Day>(std::size_t)>;

// The answer to a search with query words, from the rows of a table that the name
// pattern matched (an index's folders): those the filter keeps, in the order given; with
// the dup word, of those only the films held more than once, each film's rows next to
// each other. firstSeen is asked only with a new word.
std::vector<std::uint32_t> applyWords(const QueryWords &words, Day today, const FilmTable &films,
                                      std::span<const std::uint32_t> rows,
                                      const FirstSeen &firstSeen);

// The same for a walk's answer, its lines by their folded names (foldedName()); rows are
// the lines' places.
std::vector<std::uint32_t> applyWords(const QueryWords &words, Day today, int latestYear,
                                      std::span<const std::string> foldedLines,
                                      const FirstSeen &firstSeen);

} // namespace moviecat::query
