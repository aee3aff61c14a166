#include "query/duplicates.h"

#include "index/folderindex.h"
#include "query/nameyear.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

namespace moviecat::query {

namespace {

bool isAsciiWordByte(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string_view titleOf(std::string_view name, const NameYear &year)
{
    if (year.leads)
        return name.substr(std::min(name.size(), year.begin + 4 + year.bracket));
    return name.substr(0, year.begin - year.bracket);
}

// "Star.Wars:_Episode IV " -> "Star Wars Episode IV", "Ocean's" -> "Oceans".
void appendSpelledOut(std::string_view title, std::string &out)
{
    bool blank = false;
    for (const char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\'')
            continue;
        if (byte < 0x80 && !isAsciiWordByte(byte)) {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out.push_back(' ');
        blank = false;
        out.push_back(c);
    }
}

// A keyed folder packed for sorting: its key's hash above, its place in the answer below.
using Keyed = std::uint64_t;
constexpr Keyed placeMask = 0xFFFFFFFFu;

// The film's title into title (replacing it) and its year; 0 for no film.
int spellFilm(std::string_view folded, int latestYear, std::string &title)
{
    title.clear();
    const std::optional<NameYear> year = findNameYear(folded, latestYear);
    if (!year)
        return 0;
    appendSpelledOut(titleOf(folded, *year), title);
    return title.empty() ? 0 : year->year;
}

// Stable by the hash alone, so each hash's folders stay in the order given: four passes
// of a byte each cost less than a comparison sort of 300,000 folders.
void sortByHash(std::vector<Keyed> &keyed)
{
    std::vector<Keyed> spare(keyed.size());
    for (int shift = 32; shift < 64; shift += 8) {
        std::size_t starts[257] = {};
        for (const Keyed k : keyed)
            ++starts[((k >> shift) & 0xFF) + 1];
        for (std::size_t b = 1; b < 257; ++b)
            starts[b] += starts[b - 1];
        for (const Keyed k : keyed)
            spare[starts[(k >> shift) & 0xFF]++] = k;
        keyed.swap(spare);
    }
}

// A film held more than once: its folders are found[begin, end), first the earliest.
struct Group {
    std::size_t first;
    std::size_t begin;
    std::size_t end;
};

// Splits one hash's folders (in the order given) by their whole key, which tells apart
// the films whose hashes meet, and adds each film among them held more than once.
void addGroupsOfOneHash(std::span<const Keyed> run, std::span<const std::string_view> folded,
                        int latestYear, std::vector<std::size_t> &found, std::vector<Group> &groups)
{
    thread_local std::vector<FilmKey> keys;
    thread_local std::vector<bool> taken;
    keys.resize(run.size());
    taken.assign(run.size(), false);
    for (std::size_t i = 0; i < run.size(); ++i)
        keys[i].year = spellFilm(folded[run[i] & placeMask], latestYear, keys[i].title);
    for (std::size_t i = 0; i < run.size(); ++i) {
        if (taken[i])
            continue;
        const std::size_t begin = found.size();
        found.push_back(run[i] & placeMask);
        for (std::size_t j = i + 1; j < run.size(); ++j) {
            if (!taken[j] && keys[j] == keys[i]) {
                taken[j] = true;
                found.push_back(run[j] & placeMask);
            }
        }
        if (found.size() - begin > 1)
            groups.push_back({found[begin], begin, found.size()});
        else
            found.pop_back();
    }
}

} // namespace

std::optional<FilmKey> filmKey(std::string_view folded, int latestYear)
{
    FilmKey key;
    key.year = spellFilm(folded, latestYear, key.title);
    return key.year ? std::optional<FilmKey>(std::move(key)) : std::nullopt;
}

DuplicateGroups duplicateGroups(std::span<const std::string_view> folded, int latestYear)
{
    assert(folded.size() <= placeMask);
    std::vector<Keyed> keyed;
    keyed.reserve(folded.size());
    thread_local std::string title;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if (const int year = spellFilm(folded[i], latestYear, title)) {
            const std::uint64_t hash =
                index::fnv1a(title) ^ (std::uint64_t(year) * 0x9E3779B97F4A7C15ULL);
            keyed.push_back((hash & ~placeMask) | i);
        }
    }
    sortByHash(keyed);

    std::vector<std::size_t> found;
    std::vector<Group> groups;
    for (std::size_t begin = 0; begin < keyed.size();) {
        std::size_t end = begin + 1;
        while (end < keyed.size() && (keyed[end] ^ keyed[begin]) <= placeMask)
            ++end;
        if (end - begin > 1)
            addGroupsOfOneHash(std::span(keyed).subspan(begin, end - begin), folded, latestYear,
                               found, groups);
        begin = end;
    }
    std::sort(groups.begin(), groups.end(),
              [](const Group &a, const Group &b) { return a.first < b.first; });

    DuplicateGroups result;
    result.members.reserve(found.size());
    for (const Group &group : groups) {
        result.members.insert(result.members.end(), found.begin() + std::ptrdiff_t(group.begin),
                              found.begin() + std::ptrdiff_t(group.end));
        result.groupEnds.push_back(result.members.size());
    }
    return result;
}

} // namespace moviecat::query
