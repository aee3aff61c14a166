#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace moviecat::query {

// The film a movie folder holds, the same for every copy of it: its title with blanks,
// dots, dashes and other ASCII punctuation as one blank and apostrophes dropped, folded
// the way the search folds ("Heat (1995)", "heat.1995.1080p" and "HEAT [1995]" alike),
// and its year (findNameYear), so a remake stays apart. Both are read from the name's
// folded form, which the index keeps for every folder and foldedName() gives for a line
// of the walk's answer: folding leaves digits and ASCII punctuation as they are.
struct FilmKey {
    std::string title; // folded
    int year = 0;

    friend bool operator==(const FilmKey &, const FilmKey &) = default;
};

// Nothing for a name that carries no year or no title: extras, subtitles and a category's
// own sub-folders hold no film, and would otherwise all be "held twice".
std::optional<FilmKey> filmKey(std::string_view folded, int latestYear);
// filmKey(a) == filmKey(b), both films, without making either key.
bool sameFilm(std::string_view foldedA, std::string_view foldedB, int latestYear);

// The folded name of row i of a list of folders: an index's folders, a walk's lines.
using FoldedNames = std::function<std::string_view(std::size_t)>;

// Each folder's year and film, read once from its folded name, so that a query over an
// index's 300,000 folders reads two numbers a folder instead of every name again: build
// one beside each loaded index, on the worker, and one for a walk's answer.
class FilmTable {
public:
    FilmTable() = default;
    FilmTable(std::size_t rows, const FoldedNames &folded, int latestYear);

    std::size_t size() const { return m_year.size(); }
    int latestYear() const { return m_latestYear; }
    // The year the name carries (findNameYear), 0 for none.
    int year(std::size_t row) const { return m_year[row]; }
    // The row's film, numbered from 1: rows hold the same film exactly when their film
    // keys are equal. 0 for no film.
    std::uint32_t film(std::size_t row) const { return m_film[row]; }
    // How many films the rows hold.
    std::uint32_t films() const { return m_films; }

private:
    std::vector<std::uint16_t> m_year;
    std::vector<std::uint32_t> m_film;
    std::uint32_t m_films = 0;
    int m_latestYear = 0;
};

} // namespace moviecat::query
