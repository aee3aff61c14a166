#include "query/duplicates.h"

#include "index/folderindex.h"
#include "query/keyfold.h"
#include "query/nameyear.h"

#include <algorithm>
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

struct Keyed {
    std::uint64_t hash;
    std::size_t folder;
    auto operator<=>(const Keyed &) const = default;
};

// Splits folders of one hash by their whole key, which tells apart the rare two films
// whose hashes meet.
void appendGroupsOfOneHash(std::span<const Keyed> run, std::span<const std::string_view> folders,
                           int latestYear, std::vector<std::vector<std::size_t>> &groups)
{
    std::vector<std::pair<FilmKey, std::vector<std::size_t>>> byKey;
    for (const Keyed &k : run) {
        FilmKey key = *filmKey(lastName(folders[k.folder]), latestYear);
        auto same = std::find_if(byKey.begin(), byKey.end(),
                                 [&](const auto &entry) { return entry.first == key; });
        if (same == byKey.end())
            byKey.push_back({std::move(key), {k.folder}});
        else
            same->second.push_back(k.folder);
    }
    for (auto &[key, members] : byKey) {
        if (members.size() > 1)
            groups.push_back(std::move(members));
    }
}

} // namespace

std::optional<FilmKey> filmKey(std::string_view name, int latestYear)
{
    const std::optional<NameYear> year = findNameYear(name, latestYear);
    if (!year)
        return std::nullopt;
    thread_local std::string spelled;
    spelled.clear();
    appendSpelledOut(titleOf(name, *year), spelled);
    if (spelled.empty())
        return std::nullopt;
    FilmKey key{{}, year->year};
    appendSearchFold(spelled, key.title);
    return key;
}

DuplicateGroups duplicateGroups(std::span<const std::string_view> folders, int latestYear)
{
    std::vector<Keyed> keyed;
    keyed.reserve(folders.size());
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (const std::optional<FilmKey> key = filmKey(lastName(folders[i]), latestYear)) {
            const std::uint64_t hash = index::fnv1a(key->title);
            keyed.push_back({hash ^ (std::uint64_t(key->year) * 0x9E3779B97F4A7C15ULL), i});
        }
    }
    std::sort(keyed.begin(), keyed.end());

    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t begin = 0; begin < keyed.size();) {
        std::size_t end = begin + 1;
        while (end < keyed.size() && keyed[end].hash == keyed[begin].hash)
            ++end;
        if (end - begin > 1)
            appendGroupsOfOneHash(std::span(keyed).subspan(begin, end - begin), folders, latestYear,
                                  groups);
        begin = end;
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto &a, const auto &b) { return a.front() < b.front(); });

    DuplicateGroups result;
    for (const std::vector<std::size_t> &members : groups) {
        result.members.insert(result.members.end(), members.begin(), members.end());
        result.groupEnds.push_back(result.members.size());
    }
    return result;
}

} // namespace moviecat::query
