#include "query/films.h"

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

// Gives put the title's bytes as the key spells it: blanks and ASCII punctuation as one
// blank between words, apostrophes dropped. "Star.Wars:_Episode IV " -> "Star Wars
// Episode IV", "Ocean's" -> "Oceans". False when nothing is left.
template <class Put> bool spellOut(std::string_view title, Put &&put)
{
    bool blank = false;
    bool any = false;
    for (const char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\'')
            continue;
        if (byte < 0x80 && !isAsciiWordByte(byte)) {
            blank = true;
            continue;
        }
        if (blank && any)
            put(' ');
        blank = false;
        any = true;
        put(c);
    }
    return any;
}

// A hash of the spelled-out title and the year, eight bytes to a multiplication: an
// index's every folder is hashed.
class FilmHash {
public:
    void put(char c)
    {
        m_word = (m_word << 8) | static_cast<unsigned char>(c);
        if (++m_filled == 8)
            mixWord();
    }
    std::uint64_t finish(int year)
    {
        mixWord();
        m_word = std::uint64_t(year);
        mixWord();
        return m_hash;
    }

private:
    void mixWord()
    {
        m_hash = (m_hash ^ m_word) * 0x9E3779B97F4A7C15ULL;
        m_hash ^= m_hash >> 29;
        m_word = 0;
        m_filled = 0;
    }
    std::uint64_t m_hash = 0xcbf29ce484222325ULL;
    std::uint64_t m_word = 0;
    int m_filled = 0;
};

// A row packed for sorting: its film's hash above, the row below.
using Keyed = std::uint64_t;
constexpr Keyed placeMask = 0xFFFFFFFFu;

// By the hash alone, stable: three passes of 11 bits each cost less than a comparison
// sort of 300,000 rows.
void sortByHash(std::vector<Keyed> &keyed)
{
    constexpr int bits = 11;
    constexpr std::size_t buckets = std::size_t(1) << bits;
    std::vector<Keyed> spare(keyed.size());
    std::vector<std::size_t> starts(buckets + 1);
    for (int shift = 32; shift < 64; shift += bits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const Keyed k : keyed)
            ++starts[((k >> shift) & (buckets - 1)) + 1];
        for (std::size_t b = 1; b <= buckets; ++b)
            starts[b] += starts[b - 1];
        for (const Keyed k : keyed)
            spare[starts[(k >> shift) & (buckets - 1)]++] = k;
        keyed.swap(spare);
    }
}

} // namespace

std::optional<FilmKey> filmKey(std::string_view folded, int latestYear)
{
    const std::optional<NameYear> year = findNameYear(folded, latestYear);
    FilmKey key{{}, year ? year->year : 0};
    if (!year || !spellOut(titleOf(folded, *year), [&](char c) { key.title.push_back(c); }))
        return std::nullopt;
    return key;
}

bool sameFilm(std::string_view foldedA, std::string_view foldedB, int latestYear)
{
    const std::optional<NameYear> a = findNameYear(foldedA, latestYear);
    const std::optional<NameYear> b = findNameYear(foldedB, latestYear);
    if (!a || !b || a->year != b->year)
        return false;
    thread_local std::string titleA;
    thread_local std::string titleB;
    titleA.clear();
    titleB.clear();
    return spellOut(titleOf(foldedA, *a), [&](char c) { titleA.push_back(c); }) &&
           spellOut(titleOf(foldedB, *b), [&](char c) { titleB.push_back(c); }) && titleA == titleB;
}

FilmTable::FilmTable(std::size_t rows, const FoldedNames &folded, int latestYear)
    : m_year(rows), m_film(rows), m_latestYear(latestYear)
{
    std::vector<Keyed> keyed;
    for (std::size_t row = 0; row < rows && row <= placeMask; ++row) {
        const std::string_view name = folded(row);
        const std::optional<NameYear> year = findNameYear(name, latestYear);
        if (!year)
            continue;
        m_year[row] = std::uint16_t(year->year);
        FilmHash hash;
        if (spellOut(titleOf(name, *year), [&](char c) { hash.put(c); }))
            keyed.push_back((hash.finish(year->year) & ~placeMask) | row);
    }
    sortByHash(keyed);
    // Rows of one hash are one film, unless two films' hashes meet: those are told apart
    // key by key.
    for (std::size_t begin = 0; begin < keyed.size();) {
        std::size_t end = begin + 1;
        while (end < keyed.size() && (keyed[end] ^ keyed[begin]) <= placeMask)
            ++end;
        for (std::size_t i = begin; i < end; ++i) {
            const std::size_t row = keyed[i] & placeMask;
            if (m_film[row])
                continue;
            m_film[row] = ++m_films;
            for (std::size_t j = i + 1; j < end; ++j) {
                const std::size_t other = keyed[j] & placeMask;
                if (!m_film[other] && sameFilm(folded(row), folded(other), latestYear))
                    m_film[other] = m_films;
            }
        }
        begin = end;
    }
}

} // namespace moviecat::query
