// The background indexer with the real helper: roots whose index is a day old are
// confirmed one at a time, each once in a run, never one on a share found not answering.
#include "search/backgroundindexer.h"

#include "base/mounttable.h"
#include "index/indexcache.h"
#include "search/batchfile.h"
#include "temptree.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using moviecat::BackgroundIndexer;
using moviecat::SearchIndex;

namespace {

SearchIndex::Part part(const QString &root, const QDateTime &walked)
{
    SearchIndex::Part part;
    part.root = root;
    part.walked = walked;
    return part;
}

bool hasIndex(const QString &root)
{
    const std::string key = moviecat::SearchBatch::encode(root).toStdString();
    return QFileInfo::exists(QString::fromStdString(moviecat::index::cacheFolder() + "/" +
                                                    moviecat::index::indexFileName(key)));
}

TEST(BackgroundIndexer, OnlyIndexesADayOldAreStale)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QList<SearchIndex::Part> parts = {
        part(QStringLiteral("/a"), now.addDays(-2)),
        part(QStringLiteral("/b"), now.addSecs(-3600)), // fresh
        part(QStringLiteral("/c"), {}),                 // no index: indexed, not freshened
        part(QString(), now.addDays(-2)),               // cannot be searched
        part(QStringLiteral("/a"), now.addDays(-3)),    // a category twice
        part(QStringLiteral("/d"), now.addDays(-1)),    // a day to the second
    };
    EXPECT_EQ(BackgroundIndexer::staleRoots(parts, now),
              (QStringList{QStringLiteral("/a"), QStringLiteral("/d")}));
}

// A share that did not answer is off through all of its roots; the system's own file
// system is no share, and a root only holding a folder that did not answer is off too.
TEST(BackgroundIndexer, NoRootOnAShareThatDidNotAnswerIsConfirmed)
{
    const moviecat::MountTable mounts =
        moviecat::MountTable::parse("26 1 254:0 / / rw - ext4 /dev/vda rw\n"
                                    "60 26 0:50 / /mnt/nas rw - cifs //nas/films rw\n"
                                    "61 26 0:51 / /mnt/nas2 rw - nfs4 nas2:/export rw\n");
    struct Case {
        const char *root;
        const char *notAnswering;
        bool off;
    };
    const Case cases[] = {
        {"/mnt/nas/Drama", "/mnt/nas/Action/Heat", true},
        {"/mnt/nas", "/mnt/nas/Action", true},
        {"/mnt/nas2/Drama", "/mnt/nas/Action", false},
        {"/home/me/Drama", "/home/me/Action", false},
        {"/home/me/Films", "/home/me/Films/old", true},
        {"/mnt/nas/Drama", "", false},
    };
    for (const Case &c : cases) {
        const QStringList notAnswering =
            *c.notAnswering ? QStringList{QString::fromUtf8(c.notAnswering)} : QStringList();
        EXPECT_EQ(
            BackgroundIndexer::onShareNotAnswering(QString::fromUtf8(c.root), notAnswering, mounts),
            c.off)
            << c.root << " / " << c.notAnswering;
    }
}

TEST(BackgroundIndexer, ConfirmsStaleRootsOneAtATimeAndEachOnce)
{
    const moviecat::test::TempTree tree;
    tree.mkdir(QStringLiteral("a/Heat"));
    tree.mkdir(QStringLiteral("b/Ronin"));
    const QString gone = tree.mkdir(QStringLiteral("nas/Alien"));
    const QStringList roots = {tree.path(QStringLiteral("a")), tree.path(QStringLiteral("b")),
                               tree.path(QStringLiteral("nas"))};
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    BackgroundIndexer indexer([&scratch] { return scratch.filePath(QStringLiteral("index.bat")); });
    QSignalSpy indexed(&indexer, &BackgroundIndexer::indexed);
    bool secondWaited = false;
    QObject::connect(&indexer, &BackgroundIndexer::indexed, [&] {
        if (indexed.size() == 1)
            secondWaited = hasIndex(roots[0]) && !hasIndex(roots[1]);
    });

    const QDateTime old = QDateTime::currentDateTime().addDays(-2);
    const QList<SearchIndex::Part> parts = {part(roots[0], old), part(roots[1], old),
                                            part(roots[2], old)};
    indexer.setNotAnswering({gone});
    indexer.freshen(parts);
    EXPECT_NE(indexer.processId(), 0);
    ASSERT_TRUE(indexed.wait(30000));
    ASSERT_TRUE(indexed.size() == 2 || indexed.wait(30000));
    EXPECT_TRUE(secondWaited) << "one root at a time";
    EXPECT_TRUE(hasIndex(roots[1]));
    EXPECT_FALSE(hasIndex(roots[2])) << "a share found not answering is left alone";

    indexer.freshen(parts); // confirmed once in a run
    EXPECT_EQ(indexer.processId(), 0);
    EXPECT_FALSE(indexed.wait(500));
}

} // namespace
