// Films held more than once: the same title and year in any of their shapes, folded as
// the search folds; another year is another film.
#include "query/duplicates.h"
#include "query/foldedname.h"

#include <gtest/gtest.h>

using namespace moviecat::query;

namespace {

constexpr int latestYear = 2027;

// As the index gives a folder: its name's folded form.
std::optional<FilmKey> keyOf(std::string_view name)
{
    return filmKey(foldedName(name), latestYear);
}

struct SameFilm {
    const char *a;
    const char *b;
    bool same;
};

void PrintTo(const SameFilm &c, std::ostream *out)
{
    *out << '"' << c.a << "\" / \"" << c.b << '"';
}

class FilmKeyTable : public testing::TestWithParam<SameFilm> {};

TEST_P(FilmKeyTable, TellsTheSameFilmInAnyShape)
{
    const std::optional<FilmKey> a = keyOf(GetParam().a);
    const std::optional<FilmKey> b = keyOf(GetParam().b);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a == *b, GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FilmKeyTable,
    testing::Values(SameFilm{"Heat (1995)", "heat.1995.1080p", true},
                    SameFilm{"Heat (1995)", "HEAT [1995]", true},
                    SameFilm{"Heat (1995)", "[1995] Heat", true},
                    SameFilm{"Heat (1995)", "Heat 1995 Director's Cut", true},
                    SameFilm{"Ocean's Eleven (2001)", "Oceans.Eleven.2001.720p", true},
                    SameFilm{"Star Wars: Episode IV (1977)", "Star.Wars.Episode.IV.1977", true},
                    SameFilm{"英雄（2002）", "英雄 (2002)", true},
                    SameFilm{"Heat (1995)", "Heat (1986)", false},
                    SameFilm{"Heat (1995)", "Heated (1995)", false},
                    SameFilm{"1917 (2019)", "1917.2019.1080p", true}));

INSTANTIATE_TEST_SUITE_P(FoldedAsTheSearchFolds, FilmKeyTable,
                         testing::Values(SameFilm{"Amélie (2001)", "AMÉLIE.2001", true},
                                         SameFilm{"Am\xC3\xA9lie (2001)", "Ame\xCC\x81lie [2001]",
                                                  true}));

TEST(FilmKey, NoFilmWithoutYearOrTitle)
{
    for (const char *name : {"Extras", "字幕", "CD1", "(1995)", "[1995]", "1917", "2001"})
        EXPECT_FALSE(keyOf(name)) << name;
}

// The folders of an index: their folded names and their table.
struct Folders {
    explicit Folders(std::initializer_list<std::string_view> paths)
    {
        for (const std::string_view path : paths)
            folded.push_back(foldedName(path));
        films = FilmTable(folded.size(), names, latestYear);
    }
    DuplicateGroups groups(const std::vector<std::uint32_t> &rows) const
    {
        return duplicateGroups(films, rows);
    }

    std::vector<std::string> folded;
    FoldedNames names = [this](std::size_t row) {
        return std::string_view(folded[row]);
    };
    FilmTable films;
};

TEST(DuplicateGroups, ListsEachFilmHeldTwiceTogetherAcrossRoots)
{
    const Folders folders{
        "/films/动作片/Heat (1995)",  // 0
        "/films/科幻片/Alien (1979)", // 1
        "/nas/new/heat.1995.1080p",   // 2
        "/films/动作片/Heat (1986)",  // 3
        "/nas/new/Alien.1979.BluRay", // 4
        "/films/动作片/Heat (1995)/Extras", "/nas/new/heat.1995.1080p/Extras",
        "/films/经典/HEAT [1995]/", // 7
        "/films/科幻片/Solo (2018)",
    };
    const DuplicateGroups all = folders.groups({0, 1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(all.rows, (std::vector<std::uint32_t>{0, 2, 7, 1, 4}));
    EXPECT_EQ(all.groupEnds, (std::vector<std::size_t>{3, 5}));

    // Among the rows a pattern matched only, in their order.
    const DuplicateGroups some = folders.groups({4, 7, 2, 1, 3});
    EXPECT_EQ(some.rows, (std::vector<std::uint32_t>{4, 1, 7, 2}));
    EXPECT_EQ(some.groupEnds, (std::vector<std::size_t>{2, 4}));
}

TEST(DuplicateGroups, NoneAmongDistinctFilms)
{
    const Folders folders{"Heat (1995)", "Heat (1986)", "Extras", "Extras"};
    const DuplicateGroups groups = folders.groups({0, 1, 2, 3});
    EXPECT_TRUE(groups.rows.empty());
    EXPECT_TRUE(groups.groupEnds.empty());
}

TEST(DuplicateGroups, FilmsWhoseHashesMeetStayApart)
{
    // These two titles' 32-bit hashes are equal.
    const Folders folders{"Film 16281 (2000)", "Film 19457 (2000)", "film.16281.2000",
                          "Film 19457 [2000]"};
    EXPECT_NE(folders.films.film(0), folders.films.film(1));
    const DuplicateGroups groups = folders.groups({0, 1, 2, 3});
    EXPECT_EQ(groups.rows, (std::vector<std::uint32_t>{0, 2, 1, 3}));
    EXPECT_EQ(groups.groupEnds, (std::vector<std::size_t>{2, 4}));
}

} // namespace
