// The query words of a search text: each alone and combined, in both spellings; the name
// pattern left as typed; malformed look-alikes reported and searched as text.
#include "query/querywords.h"

#include <gtest/gtest.h>

using namespace moviecat::query;

namespace {

constexpr int latestYear = 2027;

struct Case {
    const char *text;
    const char *pattern;
    std::optional<YearRange> years;
    std::optional<int> newDays;
    bool duplicates;
    std::vector<MalformedWord> malformed;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << '"' << c.text << '"';
}

class QueryWordsTable : public testing::TestWithParam<Case> {};

TEST_P(QueryWordsTable, GivesPatternFiltersAndMalformedWords)
{
    const Case &c = GetParam();
    const QueryWords words = parseQueryWords(c.text, latestYear);
    EXPECT_EQ(words.pattern, c.pattern);
    EXPECT_EQ(words.years, c.years);
    EXPECT_EQ(words.newDays, c.newDays);
    EXPECT_EQ(words.duplicates, c.duplicates);
    ASSERT_EQ(words.malformed.size(), c.malformed.size());
    for (std::size_t i = 0; i < c.malformed.size(); ++i) {
        EXPECT_EQ(words.malformed[i].word, c.malformed[i].word);
        EXPECT_EQ(words.malformed[i].problem, c.malformed[i].problem) << c.malformed[i].word;
        EXPECT_EQ(words.malformed[i].key, c.malformed[i].key);
    }
}

using P = WordProblem;
const YearRange y1994{1994, 1994};

INSTANTIATE_TEST_SUITE_P(
    EachWordAlone, QueryWordsTable,
    testing::Values(Case{"heat", "heat", {}, {}, false, {}},
                    Case{"year:1994", "", y1994, {}, false, {}},
                    Case{"年份:1994", "", y1994, {}, false, {}},
                    Case{"year:1990-1999", "", YearRange{1990, 1999}, {}, false, {}},
                    Case{"年份:1990-1999", "", YearRange{1990, 1999}, {}, false, {}},
                    Case{"year:1888-2027", "", YearRange{1888, 2027}, {}, false, {}},
                    Case{"new:30", "", {}, 30, false, {}}, Case{"新:30", "", {}, 30, false, {}},
                    Case{"dup", "", {}, {}, true, {}}, Case{"重复", "", {}, {}, true, {}}));

INSTANTIATE_TEST_SUITE_P(
    AmongNameWords, QueryWordsTable,
    testing::Values(
        Case{"the dark year:2008 knight", "the dark knight", YearRange{2008, 2008}, {}, false, {}},
        Case{"a  year:1994  b", "a  b", y1994, {}, false, {}},
        Case{" heat year:1994 ", " heat", y1994, {}, false, {}},
        Case{"year:1994 heat ", "heat ", y1994, {}, false, {}},
        Case{"heat\tyear:1994", "heat", y1994, {}, false, {}},
        Case{"英雄\xE3\x80\x80年份:1994", "英雄", y1994, {}, false, {}},
        Case{"重复\xE3\x80\x80英雄", "英雄", {}, {}, true, {}},
        Case{"year:1990-1999 new:30 dup heat", "heat", YearRange{1990, 1999}, 30, true, {}},
        Case{"dup dup", "", {}, {}, true, {}}, Case{"   ", "   ", {}, {}, false, {}},
        Case{"", "", {}, {}, false, {}}));

INSTANTIATE_TEST_SUITE_P(
    TextWithColonsOrKeyLetters, QueryWordsTable,
    testing::Values(Case{"Mission:Impossible", "Mission:Impossible", {}, {}, false, {}},
                    Case{"Star Wars: Episode IV", "Star Wars: Episode IV", {}, {}, false, {}},
                    Case{"newyork 新宿 年份表", "newyork 新宿 年份表", {}, {}, false, {}},
                    Case{"dupe DUP 重复的", "dupe DUP 重复的", {}, {}, false, {}},
                    Case{"yearly:1994", "yearly:1994", {}, {}, false, {}}));

INSTANTIATE_TEST_SUITE_P(
    MalformedSearchedAsText, QueryWordsTable,
    testing::Values(
        Case{
            "year:19x5 heat", "year:19x5 heat", {}, {}, false, {{"year:19x5", P::BadYear, "year"}}},
        Case{"年份:19x5", "年份:19x5", {}, {}, false, {{"年份:19x5", P::BadYear, "年份"}}},
        Case{"year:", "year:", {}, {}, false, {{"year:", P::BadYear, "year"}}},
        Case{"year:1700", "year:1700", {}, {}, false, {{"year:1700", P::BadYear, "year"}}},
        Case{"year:2028", "year:2028", {}, {}, false, {{"year:2028", P::BadYear, "year"}}},
        Case{"year:1990-", "year:1990-", {}, {}, false, {{"year:1990-", P::BadYear, "year"}}},
        Case{"year:1999-1990",
             "year:1999-1990",
             {},
             {},
             false,
             {{"year:1999-1990", P::ReversedYears, "year"}}},
        Case{"new:-3", "new:-3", {}, {}, false, {{"new:-3", P::BadDays, "new"}}},
        Case{"新:0", "新:0", {}, {}, false, {{"新:0", P::BadDays, "新"}}},
        Case{"new:999999", "new:999999", {}, {}, false, {{"new:999999", P::BadDays, "new"}}},
        Case{"年份：1994", "年份：1994", {}, {}, false, {{"年份：1994", P::WideColon, "年份"}}},
        Case{"Year:1994", "Year:1994", {}, {}, false, {{"Year:1994", P::KeyCase, "year"}}},
        Case{"NEW:30 dup", "NEW:30", {}, {}, true, {{"NEW:30", P::KeyCase, "new"}}},
        Case{"year:1994 heat 年份:2000",
             "heat 年份:2000",
             y1994,
             {},
             false,
             {{"年份:2000", P::Repeated, "年份"}}},
        Case{"new:-3 year:19x5",
             "new:-3 year:19x5",
             {},
             {},
             false,
             {{"new:-3", P::BadDays, "new"}, {"year:19x5", P::BadYear, "year"}}}));

TEST(MalformedWord, EveryProblemIsSaidWithTheWordAndItsKey)
{
    for (const P problem :
         {P::BadYear, P::ReversedYears, P::BadDays, P::WideColon, P::KeyCase, P::Repeated}) {
        const std::string message = plainMessage({"Year:19x5", problem, "year"});
        EXPECT_NE(message.find("“Year:19x5”"), std::string::npos) << message;
        EXPECT_NE(message.find("year:"), std::string::npos) << message;
        EXPECT_EQ(message.find('%'), std::string::npos) << message;
    }
}

} // namespace
