// The words applied to a search's answer: years, new days and films held twice, alone
// and together, on folders the index holds and on ones it does not know yet.
#include "query/foldedname.h"
#include "query/queryfilter.h"

#include <gtest/gtest.h>

using namespace moviecat::query;

namespace {

constexpr int latestYear = 2027;
constexpr Day today = 20000;

struct Folder {
    std::string_view path;
    std::optional<Day> firstSeen;
};

const std::vector<Folder> answer = {
    {"/films/Heat (1995)", today - 100},      // 0
    {"/films/Se7en.1995.1080p", today - 5},   // 1
    {"/films/Alien (1979)", today - 1},       // 2
    {"/films/Alien (1979)/Extras", today},    // 3
    {"/other/heat.1995.720p", std::nullopt},  // 4: not in the index yet
    {"/films/The Matrix (1999)", today - 30}, // 5
    {"/films/Heat (1986)", today - 29},       // 6
};

struct Case {
    const char *text;
    std::vector<std::uint32_t> kept;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << '"' << c.text << '"';
}

class ApplyWordsTable : public testing::TestWithParam<Case> {};

TEST_P(ApplyWordsTable, KeepsTheFoldersTheWordsAskForAlikeFromIndexAndWalk)
{
    const QueryWords words = parseQueryWords(GetParam().text, latestYear);
    const auto firstSeen = [](std::size_t row) {
        return answer[row].firstSeen;
    };
    std::vector<std::string> folded;
    std::vector<std::uint32_t> rows;
    for (const Folder &folder : answer) {
        rows.push_back(std::uint32_t(folded.size()));
        folded.push_back(foldedName(folder.path));
    }

    // A walk's lines.
    EXPECT_EQ(applyWords(words, today, latestYear, folded, firstSeen), GetParam().kept);

    // An index's folders, read once into a table beside it.
    const FoldedNames names = [&](std::size_t row) {
        return std::string_view(folded[row]);
    };
    const FilmTable films(folded.size(), names, latestYear);
    EXPECT_EQ(applyWords(words, today, films, rows, firstSeen), GetParam().kept);

    // One folder at a time by its name as on disk.
    if (!words.duplicates) {
        const QueryFilter filter(words, today, latestYear);
        std::vector<std::uint32_t> each;
        for (std::uint32_t row = 0; row < answer.size(); ++row) {
            const std::string_view path = answer[row].path;
            if (filter.keeps(path.substr(path.rfind('/') + 1), answer[row].firstSeen))
                each.push_back(row);
        }
        EXPECT_EQ(each, GetParam().kept);
    }
}

INSTANTIATE_TEST_SUITE_P(Words, ApplyWordsTable,
                         testing::Values(Case{"heat", {0, 1, 2, 3, 4, 5, 6}},
                                         Case{"year:1995", {0, 1, 4}},
                                         Case{"year:1990-1999", {0, 1, 4, 5}},
                                         Case{"new:30", {1, 2, 3, 4, 6}}, Case{"new:1", {3, 4}},
                                         Case{"dup", {0, 4}}, Case{"dup year:1990-1999", {0, 4}},
                                         Case{"dup new:30", {}}, Case{"year:1995 new:30", {1, 4}},
                                         Case{"year:19x5", {0, 1, 2, 3, 4, 5, 6}}));

} // namespace
