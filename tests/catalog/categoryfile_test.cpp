#include "catalog/categoryfile.h"

#include <gtest/gtest.h>

#include <ostream>

namespace moviecat {

// Lets gtest print the lists when an expectation fails.
void PrintTo(const Category &category, std::ostream *os)
{
    *os << '"' << category.caption.toStdString() << '"';
    if (category.path)
        *os << " -> \"" << category.path->toStdString() << '"';
    else
        *os << " (no path)";
}

namespace {

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

Category entry(const char *caption, const char *path)
{
    return {u8(caption), u8(path)};
}

Category bare(const char *caption)
{
    return {u8(caption), std::nullopt};
}

const QList<Category> workedExample = {
    entry("动作片", "D:\\电影\\动作"),
    entry("Comedy", "E:\\Films\\Comedy\\"),
    entry("科幻", "F:\\科幻=经典"),
};

TEST(CategoryFileTest, WorkedExampleInGbkWithCrLf)
{
    const QByteArray bytes("[setup]\r\n"
                           "note=anything\r\n"
                           "[movie]\r\n"
                           "\xb6\xaf\xd7\xf7\xc6\xac=D:\\\xb5\xe7\xd3\xb0\\\xb6\xaf\xd7\xf7\r\n"
                           "Comedy=E:\\Films\\Comedy\\\r\n"
                           "\xbf\xc6\xbb\xc3=F:\\\xbf\xc6\xbb\xc3=\xbe\xad\xb5\xe4\r\n"
                           "[movie end]\r\n"
                           "Extra=G:\\\r\n");
    const CategoryFile file = CategoryFile::parse(bytes);
    EXPECT_EQ(file.categories, workedExample);
    EXPECT_EQ(file.pathList(),
              QStringList({u8("D:\\电影\\动作"), u8("E:\\Films\\Comedy\\"), u8("F:\\科幻=经典")}));
}

TEST(CategoryFileTest, WorkedExampleInUtf8WithBomAndLf)
{
    const QByteArray bytes("\xef\xbb\xbf[setup]\n"
                           "note=anything\n"
                           "[movie]\n"
                           "动作片=D:\\电影\\动作\n"
                           "Comedy=E:\\Films\\Comedy\\\n"
                           "科幻=F:\\科幻=经典\n"
                           "[movie end]\n"
                           "Extra=G:\\\n");
    EXPECT_EQ(CategoryFile::parse(bytes).categories, workedExample);
}

TEST(CategoryFileTest, BomDoesNotHideTheHeaderOnTheFirstLine)
{
    const CategoryFile file = CategoryFile::parse("\xef\xbb\xbf[movie]\nA=1\n");
    EXPECT_EQ(file.categories, QList<Category>({entry("A", "1")}));
}

TEST(CategoryFileTest, PathListSkipsLinesWithoutPathAndKeepsButtonOrder)
{
    const CategoryFile file = CategoryFile::parse("[movie]\nNoPath\nA=1\n\nB=\nC=3\n");
    ASSERT_EQ(file.categories.size(), 5);
    EXPECT_EQ(file.pathList(), QStringList({u8("1"), QString(), u8("3")}));
}

TEST(CategoryFileTest, AtMostEighteenEntries)
{
    QByteArray bytes("[movie]\n");
    for (int k = 1; k <= 20; ++k)
        bytes += "Name" + QByteArray::number(k) + "=Path" + QByteArray::number(k) + "\n";
    bytes += "[movie end]\n";

    const CategoryFile file = CategoryFile::parse(bytes);
    ASSERT_EQ(file.categories.size(), 18);
    EXPECT_EQ(file.categories.first(), entry("Name1", "Path1"));
    EXPECT_EQ(file.categories.last(), entry("Name18", "Path18"));
}

struct ParseCase {
    const char *name;
    QByteArray bytes;
    QList<Category> expected;
};

void PrintTo(const ParseCase &c, std::ostream *os)
{
    *os << c.name;
}

class CategoryParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(CategoryParseTest, Categories)
{
    EXPECT_EQ(CategoryFile::parse(GetParam().bytes).categories, GetParam().expected);
}

const ParseCase parseCases[] = {
    // Where the section is.
    {"EmptyFile", "", {}},
    {"NoHeader", "A=1\nB=2\n", {}},
    {"HeaderIsLastLine", "A=1\n[movie]", {}},
    {"HeaderIsLastLineWithLineEnd", "[movie]\r\n", {}},
    {"HeaderWrongCase", "[Movie]\nA=1\n", {}},
    {"HeaderLeadingBlank", " [movie]\nA=1\n", {}},
    {"HeaderTrailingBlank", "[movie] \nA=1\n", {}},
    {"EndRightAfterHeader", "[movie]\n[movie end]\nA=1\n", {}},
    {"LinesBeforeHeaderIgnored", "[movie end]\nA=x\n[movie]\nB=2\n", {entry("B", "2")}},
    {"EndOfFileStopsFilling", "[movie]\nA=1\nB=2", {entry("A", "1"), entry("B", "2")}},
    {"EndLineMustBeExact",
     "[movie]\n[movie end] \n[Movie End]\n[movie end]\nA=1\n",
     {bare("[movie end] "), bare("[Movie End]")}},
    {"SecondHeaderIsEntry", "[movie]\nA=1\n[movie]\n", {entry("A", "1"), bare("[movie]")}},
    // One entry.
    {"LineWithoutEqualsKeepsOthersPaths",
     "[movie]\nA=1\nNoPath\nC=3\n",
     {entry("A", "1"), bare("NoPath"), entry("C", "3")}},
    {"LeadingEquals", "[movie]\n=D:\\x\n", {entry("", "D:\\x")}},
    {"TrailingEquals", "[movie]\nA=\n", {entry("A", "")}},
    {"PathKeepsLaterEquals", "[movie]\nA=b=c=\n", {entry("A", "b=c=")}},
    {"BlanksAroundEqualsKept",
     "[movie]\n Action = D:\\Films \n",
     {entry(" Action ", " D:\\Films ")}},
    {"BlankLineIsEntry", "[movie]\nA=1\n\nB=2", {entry("A", "1"), bare(""), entry("B", "2")}},
    {"SemicolonLineIsEntry", "[movie]\n;A=1\n", {entry(";A", "1")}},
    // Line ends.
    {"CrLf", "[movie]\r\nA=1\r\nB=2\r\n", {entry("A", "1"), entry("B", "2")}},
    {"LoneCr", "[movie]\rA=1\rB=2\r", {entry("A", "1"), entry("B", "2")}},
    {"LoneLf", "[movie]\nA=1\nB=2\n", {entry("A", "1"), entry("B", "2")}},
    {"MixedLineEnds",
     "[movie]\r\nA=1\rB=2\nC=3",
     {entry("A", "1"), entry("B", "2"), entry("C", "3")}},
    {"LfCrIsTwoLineEnds", "[movie]\nA=1\n\rB=2", {entry("A", "1"), bare(""), entry("B", "2")}},
    {"CrCrLfIsTwoLineEnds", "[movie]\r\r\nA=1", {bare(""), entry("A", "1")}},
    {"TrailingBlankLine", "[movie]\nA=1\n\n", {entry("A", "1"), bare("")}},
};

INSTANTIATE_TEST_SUITE_P(Table, CategoryParseTest, testing::ValuesIn(parseCases),
                         [](const auto &info) { return std::string(info.param.name); });

// The "=" counts only within the first 300 characters, counted after decoding.
struct SplitLimitCase {
    const char *name;
    QByteArray unitBytes; // one character in the file's encoding
    QString unit;
};

void PrintTo(const SplitLimitCase &c, std::ostream *os)
{
    *os << c.name;
}

class SplitLimitTest : public testing::TestWithParam<SplitLimitCase> {};

TEST_P(SplitLimitTest, EqualsAt300SplitsAt301DoesNot)
{
    const SplitLimitCase &c = GetParam();
    const QByteArray file =
        "[movie]\n" + c.unitBytes.repeated(299) + "=P1\n" + c.unitBytes.repeated(300) + "=P2\n";
    const CategoryFile parsed = CategoryFile::parse(file);
    ASSERT_EQ(parsed.categories.size(), 2);
    EXPECT_EQ(parsed.categories[0], Category({c.unit.repeated(299), u8("P1")}));
    EXPECT_EQ(parsed.categories[1], Category({c.unit.repeated(300) + u8("=P2"), std::nullopt}));
}

const SplitLimitCase splitLimitCases[] = {
    {"Ascii", "a", u8("a")},
    {"ChineseUtf8", "电", u8("电")},
    {"ChineseGbk", "\xb5\xe7", u8("电")},
    {"OutsideBmpIsOneCharacter", "😀", u8("😀")},
};

INSTANTIATE_TEST_SUITE_P(Table, SplitLimitTest, testing::ValuesIn(splitLimitCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct DecodeCase {
    const char *name;
    QByteArray bytes;
    const char *expected;
};

void PrintTo(const DecodeCase &c, std::ostream *os)
{
    *os << c.name;
}

class DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, Text)
{
    EXPECT_EQ(CategoryFile::decode(GetParam().bytes), u8(GetParam().expected));
}

const DecodeCase decodeCases[] = {
    {"Ascii", "[movie]", "[movie]"},
    {"Utf8", "电影", "电影"},
    {"Utf8BomDropped", "\xef\xbb\xbf电影", "电影"},
    {"Gbk", "\xb5\xe7\xd3\xb0", "电影"},
    // Each of these is valid GBK but fails UTF-8 only in its own way.
    {"GbkLooksLikeCutOffUtf8", "ab\xe7\xa0", "ab鐮"},
    {"GbkLooksLikeOverlongUtf8", "\xc0\xaf", "蜡"},
    {"GbkLooksLikeUtf8Surrogate", "\xed\xa0\xb0\xa1", "頎啊"},
};

INSTANTIATE_TEST_SUITE_P(Table, DecodeTest, testing::ValuesIn(decodeCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CategoryFileTest, UndecodableBytesNeverEndOrSplitALine)
{
    // A broken GBK lead byte before a line end must not swallow the line end.
    const CategoryFile file = CategoryFile::parse("[movie]\nA\x81\nB=2\n\xff\xfe\x81");
    ASSERT_EQ(file.categories.size(), 3);
    EXPECT_EQ(file.categories[1], entry("B", "2"));
    EXPECT_FALSE(file.categories[0].path);
}

} // namespace
} // namespace moviecat
