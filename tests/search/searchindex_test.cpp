// The index's answer to a text: the matching folders of each root in the index's order,
// kept by the filter where one is given, each row's path the index's own; none once
// the answer is no longer wanted.
#include "search/searchindex.h"

#include "index/indexcache.h"
#include "search/batchfile.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace moviecat;

namespace {

TEST(SearchIndex, AnswersFromTheIndexAndKeepsWhatTheFilterAccepts)
{
    QTemporaryDir cache;
    QTemporaryDir category;
    ASSERT_TRUE(cache.isValid() && category.isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    const std::string root =
        SearchBatch::encode(SearchIndex::rootOf(category.path())).toStdString();
    index::FolderIndex written(index::FolderIndex::Header{root, 0, 0, 1'796'000'000});
    // The modification time stands for what a filter would read: 2 marks the kept ones.
    const std::uint32_t heat = written.add(index::FolderIndex::noParent, "Heat", {}, 2);
    written.add(index::FolderIndex::noParent, "Alien", {}, 2);
    written.add(heat + 1, "Heat 2", {}, 1);
    written.add(heat + 1, "Heatwave", {}, 2);
    const std::string folder = index::cacheFolder();
    ASSERT_EQ(index::makeCacheFolder(folder), 0);
    ASSERT_EQ(index::writeWhole(folder, index::indexFileName(root), written.serialize()), 0);

    const auto pathsOf = [&](const std::vector<std::uint32_t> &folders) {
        QStringList paths;
        for (const std::uint32_t f : folders)
            paths << SearchBatch::decode(QByteArray::fromStdString(written.path(f)));
        return paths;
    };
    const SearchIndex::FolderFilter modifiedTwice = [](const index::FolderIndex &index,
                                                       std::uint32_t f) {
        return index.modified(f) == 2;
    };
    struct Case {
        SearchIndex::FolderFilter filter;
        QStringList expected;
        bool abandoned = false; // a newer text was typed: no paths, the index still loaded
    };
    const Case cases[] = {
        {{}, pathsOf({0, 2, 3})}, {modifiedTwice, pathsOf({0, 3})}, {{}, {}, true}};
    SearchIndex searchIndex;
    for (const Case &c : cases) {
        std::optional<SearchIndex::Answer> answer;
        searchIndex.query(
            {category.path()}, QStringLiteral("HEAT"),
            [&](const SearchIndex::Answer &given) { answer = given; }, c.filter,
            [&] { return c.abandoned; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
        EXPECT_TRUE(answer->any);
        EXPECT_EQ(answer->paths.toStringList(), c.expected);
        ASSERT_EQ(answer->parts.size(), 1);
        EXPECT_EQ(answer->parts.front().count, c.expected.size());
    }
    qunsetenv("XDG_CACHE_HOME");
}

} // namespace
