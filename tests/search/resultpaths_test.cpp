// An answer's paths kept as an index's folder numbers: each row's path made on demand is
// the index's own, a path is found among them without making them, and two answers are
// equal whatever form each holds its rows in.
#include "search/batchfile.h"
#include "search/resultpaths.h"

#include <gtest/gtest.h>

using namespace moviecat;

namespace {

// root/Heat, root/Heat/Extras, root/Alien, root/Alien/Heat 2, root/电影 in GBK bytes.
std::shared_ptr<const index::FolderIndex> indexAt(const std::string &root)
{
    auto index = std::make_shared<index::FolderIndex>(index::FolderIndex::Header{root, 0, 0, 0});
    const std::uint32_t heat = index->add(index::FolderIndex::noParent, "Heat", {}, 1);
    const std::uint32_t alien = index->add(index::FolderIndex::noParent, "Alien", {}, 1);
    index->add(index::FolderIndex::noParent, "\xB5\xE7\xD3\xB0", "x", 1);
    index->add(heat + 1, "Extras", {}, 1);
    index->add(alien + 1, "Heat 2", {}, 1);
    return index;
}

QString pathOf(const index::FolderIndex &index, std::uint32_t folder)
{
    return SearchBatch::decode(QByteArray::fromStdString(index.path(folder)));
}

TEST(ResultPaths, RowsMadeOnDemandAreTheIndexPathsAndAreFoundWithoutBeingMade)
{
    for (const std::string root : {"/films", "/"}) {
        const auto index = indexAt(root);
        const std::vector<std::uint32_t> folders = {4, 2, 0, 3};
        ResultPaths paths;
        paths << QStringList{QStringLiteral("/walked/Heat")};
        paths.append(index, folders);
        ASSERT_EQ(paths.size(), 5);
        EXPECT_EQ(paths.at(0), QStringLiteral("/walked/Heat"));
        for (std::size_t k = 0; k < folders.size(); ++k) {
            const QString path = pathOf(*index, folders[k]);
            EXPECT_EQ(paths.at(qsizetype(k) + 1), path) << root;
            EXPECT_EQ(paths.indexOf(path), qsizetype(k) + 1) << root;
        }
        EXPECT_EQ(paths.value(5), QString());
        // Near misses: a name's tail, a missing separator, another root, the root itself.
        const QString base = root == "/" ? QString() : QString::fromStdString(root);
        for (const QString &miss :
             {base + QStringLiteral("/eat/Extras"), base + QStringLiteral("Heat/Extras"),
              QStringLiteral("/other/Heat"), QString::fromStdString(root),
              base + QStringLiteral("/Alien/Heat 2/x")})
            EXPECT_EQ(paths.indexOf(miss), -1) << miss.toStdString();
    }
}

TEST(ResultPaths, AnswersAreEqualRowForRowWhateverTheirForm)
{
    const auto index = indexAt("/films");
    const auto reloaded = indexAt("/films"); // the same file loaded again
    ResultPaths numbers;
    numbers.append(index, {0, 3, 1, 2});
    const QStringList lines = numbers.toStringList();
    ResultPaths again;
    again.append(reloaded, {0, 3, 1, 2});
    ResultPaths other;
    other.append(index, {0, 3, 4, 2});
    struct Case {
        ResultPaths a, b;
        bool equal;
    };
    const Case cases[] = {
        {numbers, numbers, true},
        {numbers, ResultPaths(lines), true},
        {ResultPaths(lines), numbers, true},
        {numbers, again, true},
        {numbers, other, false},
        {ResultPaths(lines), other, false},
        {numbers, ResultPaths(lines.mid(1)), false},
        {ResultPaths(), ResultPaths(QStringList()), true},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k)
        EXPECT_EQ(cases[k].a == cases[k].b, cases[k].equal) << k;
}

} // namespace
