// The year a folder name carries, read from the shapes real collections use.
#include "query/nameyear.h"

#include <gtest/gtest.h>

using namespace moviecat::query;

namespace {

constexpr int latestYear = 2027;

struct Case {
    const char *name;
    std::optional<int> year;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << '"' << c.name << '"';
}

class NameYearTable : public testing::TestWithParam<Case> {};

TEST_P(NameYearTable, ReadsTheFilmsYear)
{
    EXPECT_EQ(yearInName(GetParam().name, latestYear), GetParam().year);
}

INSTANTIATE_TEST_SUITE_P(Brackets, NameYearTable,
                         testing::Values(Case{"Heat (1995)", 1995}, Case{"Heat [1995]", 1995},
                                         Case{"Metropolis (1927) ", 1927},
                                         Case{"[1995] Heat", 1995},
                                         Case{"Heat (1995) Director's Cut", 1995},
                                         Case{"英雄 [2002]", 2002}, Case{"英雄（2002）", 2002},
                                         Case{"【2002】英雄", 2002},
                                         Case{"\xD3\xA2\xD0\xDB (2002)", 2002})); // 英雄 in GBK

INSTANTIATE_TEST_SUITE_P(ReleaseNames, NameYearTable,
                         testing::Values(Case{"Heat.1995.1080p.BluRay.x264-GROUP", 1995},
                                         Case{"Heat 1995", 1995},
                                         Case{"The_Matrix_1999_REMASTERED_2160p", 1999},
                                         Case{"英雄2002", 2002},
                                         Case{"Heat.1995.1080.BluRay", 1995}));

INSTANTIATE_TEST_SUITE_P(
    TitlesThatAreYears, NameYearTable,
    testing::Values(Case{"1917 (2019)", 2019}, Case{"1917.2019.1080p.WEB-DL", 2019},
                    Case{"1917", std::nullopt}, Case{"2001 A Space Odyssey", std::nullopt},
                    Case{"2001.A.Space.Odyssey.1968.2160p", 1968},
                    Case{"Blade Runner 2049 (2017)", 2017}, Case{"Apollo 13 (1995)", 1995}));

INSTANTIATE_TEST_SUITE_P(
    NoYear, NameYearTable,
    testing::Values(Case{"Video (1080)", std::nullopt}, Case{"Some.Film.2160p", std::nullopt},
                    Case{"Film 1080p 2160p", std::nullopt}, Case{"Film.1920x1080", std::nullopt},
                    Case{"Heat (19955)", std::nullopt}, Case{"Extras", std::nullopt},
                    Case{"CD1", std::nullopt}, Case{"x1995", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(PlausibleRange, NameYearTable,
                         testing::Values(Case{"Roundhay Garden Scene (1888)", 1888},
                                         Case{"Older (1887)", std::nullopt},
                                         Case{"Next (2027)", 2027},
                                         Case{"Later (2028)", std::nullopt}));

} // namespace
