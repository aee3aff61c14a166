#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace moviecat::query {

// The earliest year a film can carry (Roundhay Garden Scene, 1888).
constexpr int firstFilmYear = 1888;

// The latest year a name may carry: next year by the local clock, for films announced
// ahead. Read it once per query, not per name.
int latestFilmYear();

// Where a folder name carries its film's year.
struct NameYear {
    int year = 0;
    std::size_t begin = 0;   // the four digits: name.substr(begin, 4)
    std::size_t bracket = 0; // the bytes of the bracket on either side, 0 for none
    bool leads = false;      // before the title, as in "[1995] Heat"
};

// The one rule a film's year is read from its name by, for the details column and the
// queries alike. A year is four ASCII digits standing alone (no letter or digit right
// beside them, so "1080p" and "x1995" are none) between firstFilmYear and latestYear, as
// in "Heat (1995)", "Heat [1995]", "Heat.1995.1080p.BluRay", "[1995] Heat", "Heat 1995",
// "英雄（2002）". A bracketed year wins; else the last one after the title, since a title
// may itself be a year ("1917 (2019)", "2001 A Space Odyssey") while scene names put the
// year last before their tags. Names are bytes: UTF-8 or GBK (whose trail bytes are
// never digits), so any byte above ASCII separates like a blank.
std::optional<NameYear> findNameYear(std::string_view name, int latestYear);

inline std::optional<int> yearInName(std::string_view name, int latestYear)
{
    const std::optional<NameYear> found = findNameYear(name, latestYear);
    return found ? std::optional<int>(found->year) : std::nullopt;
}

} // namespace moviecat::query
