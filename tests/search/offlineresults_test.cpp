// Merging what the index knew below the folders a walk had to give up into the walk's
// lines: each offline row in its category and its place, marked, never doubled.
#include "search/offlineresults.h"

#include "helpers.h"

#include <gtest/gtest.h>

using moviecat::OfflineResults;
using moviecat::SearchIndex;

namespace {

const QDateTime monday = QDateTime::fromSecsSinceEpoch(1'796'000'000);
const QDateTime sunday = monday.addDays(-1);

struct Category {
    QString root;
    QDateTime walked; // invalid: no index
    QStringList paths;
};

SearchIndex::Answer answerOf(const QList<Category> &categories)
{
    SearchIndex::Answer answer;
    for (const Category &category : categories) {
        SearchIndex::Part &part = answer.parts.emplace_back();
        part.root = category.root;
        part.walked = category.walked;
        part.first = answer.paths.size();
        part.count = category.paths.size();
        answer.paths << category.paths;
    }
    return answer;
}

QStringList list(std::initializer_list<const char *> paths)
{
    return moviecat::test::utf8List(paths);
}

// Three categories: a local one without an index, the NAS, a local one with an index.
const SearchIndex::Answer threeCategories = answerOf({
    {QStringLiteral("/local/a"), {}, {}},
    {QStringLiteral("/nas/films"), sunday,
     list({"/nas/films/Heat", "/nas/films/x/Heat 2", "/nas/films/x/y/Heat 3",
           "/nas/films/z/Heat 4"})},
    {QStringLiteral("/local/b"), monday, list({"/local/b/Heat 5", "/local/b/q/Heat 6"})},
});

TEST(OfflineResults, AGivenUpCategoryKeepsItsIndexedMatchesBetweenItsNeighbours)
{
    // The index of /local/b does not know "Heat 7" yet; /local/a has no index at all.
    const QStringList walked =
        list({"/local/a/Heat 0", "/local/b/Heat 5", "/local/b/Heat 7", "/local/b/q/Heat 6"});
    for (const QString &givenUp : {QStringLiteral("/nas/films"), QStringLiteral("/nas/films/")}) {
        const OfflineResults::Rows rows =
            OfflineResults::merge(walked, threeCategories, QStringList{givenUp});
        EXPECT_EQ(rows.paths, list({"/local/a/Heat 0", "/nas/films/Heat", "/nas/films/x/Heat 2",
                                    "/nas/films/x/y/Heat 3", "/nas/films/z/Heat 4",
                                    "/local/b/Heat 5", "/local/b/Heat 7", "/local/b/q/Heat 6"}));
        EXPECT_EQ(rows.offline.size(), 4);
        EXPECT_EQ(rows.offline.value(QStringLiteral("/nas/films/x/Heat 2")), sunday);
        EXPECT_FALSE(rows.offline.contains(QStringLiteral("/local/b/Heat 5")));
        EXPECT_EQ(rows.oldest, sunday);
    }
    // Nothing given up, or nothing from the index: the walk's lines as they are.
    for (const auto &[answer, givenUp] :
         {std::pair{threeCategories, QStringList{}},
          std::pair{SearchIndex::Answer{}, QStringList{QStringLiteral("/nas/films")}}}) {
        const OfflineResults::Rows rows = OfflineResults::merge(walked, answer, givenUp);
        EXPECT_EQ(rows.paths, walked);
        EXPECT_TRUE(rows.offline.isEmpty());
        EXPECT_FALSE(rows.oldest.isValid());
    }
}

TEST(OfflineResults, AGivenUpSubFolderFillsItsGapInsideTheCategory)
{
    // /nas/films/x did not answer; the rest of the NAS did, "Heat 4" has gone since.
    const QStringList walked = list({"/nas/films/Heat", "/local/b/Heat 5", "/local/b/q/Heat 6"});
    OfflineResults::Rows rows =
        OfflineResults::merge(walked, threeCategories, list({"/nas/films/x"}));
    EXPECT_EQ(rows.paths, list({"/nas/films/Heat", "/nas/films/x/Heat 2", "/nas/films/x/y/Heat 3",
                                "/local/b/Heat 5", "/local/b/q/Heat 6"}));
    EXPECT_EQ(rows.offline.size(), 2);

    // A row the walk did find is neither doubled nor marked; a folder whose name merely
    // begins like the given-up one is not below it.
    const SearchIndex::Answer answer = answerOf(
        {{QStringLiteral("/nas"), sunday, list({"/nas/x", "/nas/x/Heat", "/nas/xy/Heat"})}});
    rows = OfflineResults::merge(list({"/nas/x", "/nas/x/Heat", "/nas/xy/Heat"}), answer,
                                 list({"/nas/x"}));
    EXPECT_EQ(rows.paths, list({"/nas/x", "/nas/x/Heat", "/nas/xy/Heat"}));
    EXPECT_TRUE(rows.offline.isEmpty());
    rows = OfflineResults::merge(list({"/nas/x"}), answer, list({"/nas/x"}));
    EXPECT_EQ(rows.paths, list({"/nas/x", "/nas/x/Heat"}));
    EXPECT_EQ(rows.offline.keys(), list({"/nas/x/Heat"}));
}

TEST(OfflineResults, TheIndexTimeOfAGivenUpFolderIsItsCategorys)
{
    EXPECT_EQ(OfflineResults::indexedAt(QStringLiteral("/nas/films/x"), threeCategories), sunday);
    EXPECT_EQ(OfflineResults::indexedAt(QStringLiteral("/local/b/"), threeCategories), monday);
    // No index there, or no category: no time.
    EXPECT_FALSE(OfflineResults::indexedAt(QStringLiteral("/local/a"), threeCategories).isValid());
    EXPECT_FALSE(OfflineResults::indexedAt(QStringLiteral("/nas"), threeCategories).isValid());
}

} // namespace
