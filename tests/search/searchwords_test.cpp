// The search text's query words applied to the window's answers: the pattern left for
// the index and the helper, the paths kept (names in any encoding), offline rows
// narrowed with the rest, and malformed words said in the window's words.
#include "index/folderindex.h"
#include "query/queryfilter.h"
#include "search/searchwords.h"
#include "ui/filenames.h"

#include <gtest/gtest.h>

using namespace moviecat;

namespace {

const QDateTime older = QDateTime::fromSecsSinceEpoch(1'700'000'000);
const QDateTime newer = QDateTime::fromSecsSinceEpoch(1'800'000'000);

TEST(SearchWords, NarrowAnAnswerAsTheWordsSay)
{
    const QString heatGbk = FileNames::fromBytes("/b/\xC8\xC8 Heat (1995)"); // 热 in GBK
    const QStringList paths = {
        QStringLiteral("/a/Heat (1995)"),
        QStringLiteral("/a/Alien (1979)"),
        QStringLiteral("/b/Heat.1995.1080p.BluRay"),
        QStringLiteral("/b/Heat (1986)"),
        QStringLiteral("/c/HEAT [1995]/"),
        heatGbk,
    };
    struct Case {
        const char *text;
        const char *pattern;
        QList<int> kept; // rows of paths, in the order expected
    };
    const QList<Case> cases = {
        {"heat", "heat", {0, 1, 2, 3, 4, 5}},
        {"year:1990-1999 heat", "heat", {0, 2, 4, 5}},
        {"年份:1979", "", {1}},
        // The same film next to each other; the 1986 remake and the GBK-named folder,
        // whose title differs, are not copies of it.
        {"dup", "", {0, 2, 4}},
        {"year:1995 dup", "", {0, 2, 4}},
        {"new:30", "", {0, 1, 2, 3, 4, 5}}, // first seen: the index's to tell
        {"year:19x5", "year:19x5", {0, 1, 2, 3, 4, 5}},
    };
    for (const Case &c : cases) {
        const SearchWords words = SearchWords::read(QString::fromUtf8(c.text));
        EXPECT_EQ(words.pattern(), QString::fromUtf8(c.pattern)) << c.text;
        QStringList expected;
        for (const int row : c.kept)
            expected << paths.at(row);
        EXPECT_EQ(words.keep(paths), expected) << c.text;
    }
}

TEST(SearchWords, OfflineRowsAreNarrowedWithTheRest)
{
    OfflineResults::Rows rows;
    rows.paths = {QStringLiteral("/nas/Ran (1985)"), QStringLiteral("/nas/Heat (1995)"),
                  QStringLiteral("/a/Heat (1995)")};
    rows.offline = {{rows.paths[0], older}, {rows.paths[1], newer}};
    rows.oldest = older;

    const OfflineResults::Rows kept = SearchWords::read(QStringLiteral("year:1995")).keep(rows);
    EXPECT_EQ(kept.paths, (QStringList{rows.paths[1], rows.paths[2]}));
    EXPECT_EQ(kept.offline.keys(), QList<QString>{rows.paths[1]});
    EXPECT_EQ(kept.oldest, newer); // the older index no longer stands in for any line
}

// After Enter the walk's lines carry no day: the indexes it wrote tell each line's.
TEST(SearchWords, TheWalksLinesAreDatedByTheIndexesItWrote)
{
    const auto today = index::FolderIndex::Day(query::localToday());
    auto written = std::make_shared<index::FolderIndex>();
    written->setHeader({"/a", 0, 0, 1'700'000'000});
    for (const auto &[name, daysAgo] : {std::pair{"Heat (1995)", 3}, {"Ronin (1998)", 40}})
        written->setFirstSeen(written->add(index::FolderIndex::noParent, name, {}, 0),
                              index::FolderIndex::Day(today - daysAgo));
    OfflineResults::Rows walked;
    walked.paths = {QStringLiteral("/a/Heat (1995)"), QStringLiteral("/a/Ronin (1998)"),
                    QStringLiteral("/b/Fresh (2001)"), QStringLiteral("/nas/Ran (1985)")};
    walked.offline = {{walked.paths[3], older}};

    struct Case {
        const char *text;
        QList<int> kept;
    };
    const Case cases[] = {
        // "/b" has no index: every folder in it is new today. The offline line came from
        // an index answer narrowed the same way.
        {"new:30", {0, 2, 3}},
        {"new:60 year:1998", {1, 3}},
    };
    for (const Case &c : cases) {
        const SearchWords words = SearchWords::read(QString::fromUtf8(c.text));
        SearchIndex::Answer dated;
        std::vector<std::uint32_t> passing;
        for (std::uint32_t folder = 0; folder < written->size(); ++folder) {
            if (words.folderFilter()(*written, folder))
                passing.push_back(folder);
        }
        dated.paths.append(written, passing);
        dated.parts = {{QStringLiteral("/a"), QDateTime::currentDateTime(), 0, 0},
                       {QStringLiteral("/b"), {}, 0, 0}};
        QStringList expected;
        for (const int row : c.kept)
            expected << walked.paths.at(row);
        EXPECT_EQ(words.keep(walked, dated).paths, expected) << c.text;
    }
}

TEST(SearchWords, MalformedWordsAreSaidOneAfterAnother)
{
    const SearchWords words = SearchWords::read(QStringLiteral("Year:1994 new:-3 heat"));
    const QString said = words.problems();
    EXPECT_TRUE(said.contains(QStringLiteral("“Year:1994”"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("“new:-3”"))) << said.toStdString();
    EXPECT_TRUE(words.pattern().contains(QStringLiteral("new:-3")));
    EXPECT_TRUE(SearchWords::read(QStringLiteral("year:1994 heat")).problems().isEmpty());
}

// The year and new words the index applies on its worker, to each folder it matched, by
// the folder's folded name and the day it was first seen.
TEST(SearchWords, TheIndexAppliesTheYearAndNewWordsToEachFolder)
{
    const auto today = index::FolderIndex::Day(query::localToday());
    index::FolderIndex folders;
    struct Folder {
        const char *name;
        int daysAgo;
    };
    const Folder made[] = {{"Heat (1995)", 3}, {"Alien (1979)", 3}, {"Ronin.1998.1080p", 40}};
    for (const Folder &folder : made) {
        const std::uint32_t at = folders.add(index::FolderIndex::noParent, folder.name, {}, 0);
        folders.setFirstSeen(at, index::FolderIndex::Day(today - folder.daysAgo));
    }
    struct Case {
        const char *text;
        std::vector<bool> kept; // empty: no filter at all
    };
    const Case cases[] = {
        {"year:1990-1999", {true, false, true}},
        {"new:30", {true, true, false}},
        {"year:1990-1999 new:30 heat", {true, false, false}},
        {"dup", {}}, // among all matches, not folder by folder
        {"heat", {}},
    };
    for (const Case &c : cases) {
        const SearchIndex::FolderFilter filter =
            SearchWords::read(QString::fromUtf8(c.text)).folderFilter();
        ASSERT_EQ(bool(filter), !c.kept.empty()) << c.text;
        for (std::uint32_t folder = 0; folder < c.kept.size(); ++folder)
            EXPECT_EQ(filter(folders, folder), c.kept[folder])
                << c.text << " " << made[folder].name;
    }
}

} // namespace
