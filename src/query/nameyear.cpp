#include "query/nameyear.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace moviecat::query {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isWordByte(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The brackets a year stands in: ASCII and the full-width forms Chinese names use.
constexpr std::array<std::string_view, 4> openers = {"(", "[", "\xEF\xBC\x88", "\xE3\x80\x90"};
constexpr std::array<std::string_view, 4> closers = {")", "]", "\xEF\xBC\x89", "\xE3\x80\x91"};

// The bytes of the bracket on either side of the year, 0 when it stands in none.
std::size_t bracketAround(std::string_view name, std::size_t begin)
{
    const std::string_view before = name.substr(0, begin);
    const std::string_view after = name.substr(begin + 4);
    for (std::size_t i = 0; i < openers.size(); ++i) {
        if (before.ends_with(openers[i]) && after.starts_with(closers[i]))
            return openers[i].size();
    }
    return 0;
}

// Nothing but blanks and punctuation before the year: the title follows it.
bool leadsName(std::string_view name, std::size_t begin)
{
    for (std::size_t i = 0; i < begin; ++i) {
        if (isWordByte(name[i]) || static_cast<unsigned char>(name[i]) >= 0x80)
            return false;
    }
    return true;
}

// The first digit at or after from, or name.size(): eight bytes at a time, since most of
// a name is no digit and every query reads every name.
std::size_t nextDigit(std::string_view name, std::size_t from)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highs = 0x8080808080808080ULL;
    while (from + 8 <= name.size()) {
        std::uint64_t bytes = 0;
        std::memcpy(&bytes, name.data() + from, 8);
        const std::uint64_t x = bytes ^ (ones * '0'); // a digit becomes 0 to 9
        if (((x - ones * 10) & ~x & highs) != 0)      // some byte below 10
            break;
        from += 8;
    }
    while (from < name.size() && !isDigit(name[from]))
        ++from;
    return from;
}

} // namespace

int latestFilmYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return 2100;
    return local.tm_year + 1900 + 1;
}

std::optional<NameYear> findNameYear(std::string_view name, int latestYear)
{
    std::optional<NameYear> lastBracketed;
    std::optional<NameYear> lastAfterTitle;
    const std::size_t n = name.size();
    for (std::size_t i = nextDigit(name, 0); i < n; i = nextDigit(name, i)) {
        std::size_t end = i;
        while (end < n && isDigit(name[end]))
            ++end;
        const bool alone =
            (i == 0 || !isWordByte(name[i - 1])) && (end == n || !isWordByte(name[end]));
        if (alone && end - i == 4) {
            const int year = (name[i] - '0') * 1000 + (name[i + 1] - '0') * 100 +
                             (name[i + 2] - '0') * 10 + (name[i + 3] - '0');
            if (year >= firstFilmYear && year <= latestYear) {
                const std::size_t bracket = bracketAround(name, i);
                const NameYear found{year, i, bracket, leadsName(name, i - bracket)};
                if (found.bracket)
                    lastBracketed = found;
                else if (!found.leads)
                    lastAfterTitle = found;
            }
        }
        i = end;
    }
    return lastBracketed ? lastBracketed : lastAfterTitle;
}

} // namespace moviecat::query
