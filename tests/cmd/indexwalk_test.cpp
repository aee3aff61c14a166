// The index the helper writes as it walks: on generated trees, the answer from the index
// is the walk's answer, in set and order; the file is replaced whole; a cache folder that
// cannot be written leaves searches as they were.
#include "helperrun.h"
#include "helpers.h"
#include "index/folderindex.h"
#include "index/indexcache.h"
#include "index/indexform.h"
#include "temptree.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <gtest/gtest.h>
#include <random>

using moviecat::SearchBatch;
using moviecat::index::FolderIndex;
using moviecat::test::batchOf;
using moviecat::test::resultLines;
using moviecat::test::runHelper;
using moviecat::test::TempTree;

namespace {

// Names that fold, compose, sort and quote in awkward ways.
const char *const namePieces[] = {
    "Love",     "love",   "LOVE", "Amélie", "Ame\xCC\x81lie",
    "霸王别姬", "Straße", "a&b",  "100%",   "x^y",
    "(1)",      "a b",    ".hid", "Ça",     "é",
    "e",        "Z",      "한",   "!",      "Dragon",
    "drag",     "_",      "ß",    "ss",     "0",
    "9",        "~x",     "a;b",  "a=b",    "[x]",
};

class IndexWalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cache = tree.mkdir(QStringLiteral("cache"));
        qputenv("XDG_CACHE_HOME", cache.toUtf8());
    }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }

    QString resultFile() const { return tree.path(QStringLiteral("scratch/list.txt")); }
    QString batchFile() const { return tree.path(QStringLiteral("scratch/list.bat")); }

    // Runs the search batch for the text over the roots; the result lines.
    QList<QByteArray> walk(const QStringList &roots, const QString &text,
                           QByteArray *errors = nullptr)
    {
        QFile::remove(resultFile());
        tree.writeFile(QStringLiteral("scratch/list.bat"),
                       SearchBatch::compose(roots, text, resultFile(), batchFile()));
        const auto run = runHelper(batchFile());
        EXPECT_TRUE(run.finished);
        if (errors)
            *errors = run.standardError;
        return resultLines(resultFile());
    }

    std::optional<FolderIndex> indexOf(const QString &root) const
    {
        const std::string folder = cache.toStdString() + "/moviecat";
        const auto bytes = moviecat::index::readWhole(
            folder + "/" + moviecat::index::indexFileName(root.toStdString()), 1 << 30);
        return bytes ? FolderIndex::parse(*bytes, root.toStdString()) : std::nullopt;
    }

    // What the window shows at once: each root's matches from its index, in root order.
    QList<QByteArray> instant(const QStringList &roots, const QString &text) const
    {
        const auto query =
            moviecat::index::indexQuery((QLatin1Char('*') + text + QLatin1Char('*')).toStdString());
        QList<QByteArray> lines;
        for (const QString &root : roots) {
            const std::optional<FolderIndex> index = indexOf(root);
            EXPECT_TRUE(index) << root.toStdString();
            if (!index)
                continue;
            for (const std::uint32_t folder : query.run(*index))
                lines << QByteArray::fromStdString(index->path(folder));
        }
        return lines;
    }

    // A random tree below the folder: up to `folders` folders, names from the pieces.
    void grow(std::mt19937 &random, const QString &root, int folders, int depth)
    {
        QStringList made{root};
        for (int i = 0; i < folders; ++i) {
            const QString parent = made[int(random() % made.size())];
            if (parent.count(QLatin1Char('/')) - root.count(QLatin1Char('/')) >= depth)
                continue;
            QString name;
            for (unsigned piece = 0, pieces = 1 + random() % 3; piece < pieces; ++piece)
                name += QString::fromUtf8(namePieces[random() % std::size(namePieces)]);
            const QString path = parent + QLatin1Char('/') + name;
            if (QDir().mkpath(path))
                made << path;
        }
    }

    TempTree tree;
    QString cache;
};

TEST_F(IndexWalkTest, OnGeneratedTreesTheIndexAnswersWhatTheWalkFindsInItsOrder)
{
    const QStringList texts = {QString(),
                               QStringLiteral("e"),
                               QStringLiteral("love"),
                               QStringLiteral("é"),
                               QStringLiteral("a*b"),
                               QStringLiteral("?"),
                               QStringLiteral("SS"),
                               QStringLiteral("霸"),
                               QStringLiteral("%")};
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        QStringList roots;
        for (int r = 0; r < 3; ++r) {
            roots << tree.mkdir(QStringLiteral("s%1/root %2").arg(seed).arg(r));
            grow(random, roots.back(), int(50 + random() % (seed * 200)), int(1 + seed * 2));
        }
        walk(roots, QStringLiteral("love"));
        for (const QString &text : texts) {
            SCOPED_TRACE(text.toStdString());
            // The index first: each walk writes it anew.
            const QList<QByteArray> fromIndex = instant(roots, text);
            EXPECT_EQ(fromIndex, walk(roots, text));
        }
        // Adds, removes and renames at any depth: the next walk writes the index anew.
        QStringList all;
        for (const QString &root : roots) {
            QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                all << it.next();
        }
        for (int change = 0; change < 20 && !all.isEmpty(); ++change) {
            const QString victim = all.takeAt(int(random() % all.size()));
            if (!QFileInfo::exists(victim))
                continue;
            if (change % 3 == 0)
                QDir(victim).removeRecursively();
            else if (change % 3 == 1)
                QDir().rename(victim, victim + QStringLiteral(" Love"));
            else
                QDir().mkpath(victim + QStringLiteral("/new é"));
        }
        walk(roots, QStringLiteral("love"));
        const QList<QByteArray> fromIndex = instant(roots, QStringLiteral("e"));
        EXPECT_EQ(fromIndex, walk(roots, QStringLiteral("e")));
    }
}

TEST_F(IndexWalkTest, TwoWritersAtOnceNeverLeaveATornFile)
{
    const QString root = tree.mkdir(QStringLiteral("root"));
    std::mt19937 random(5);
    grow(random, root, 3000, 4);
    const QString batch = tree.writeFile(
        QStringLiteral("scratch/both.bat"),
        batchOf({SearchBatch::dirLine(root, QStringLiteral("love"), QStringLiteral("NUL"))}));
    const std::string file =
        cache.toStdString() + "/moviecat/" + moviecat::index::indexFileName(root.toStdString());
    std::atomic<bool> done = false;
    std::atomic<int> reads = 0;
    std::atomic<int> torn = 0;
    // A reader meanwhile: whatever it finds is an index, whole.
    auto reader = QtConcurrent::run([&] {
        while (!done) {
            if (const auto bytes = moviecat::index::readWhole(file, 1 << 30)) {
                ++reads;
                if (!FolderIndex::parse(*bytes, root.toStdString()))
                    ++torn;
            }
        }
    });
    for (int round = 0; round < 5; ++round) {
        QProcess one, two;
        const QString helper =
            QCoreApplication::applicationDirPath() + QStringLiteral("/moviecat-cmd");
        one.start(helper, {batch});
        two.start(helper, {batch});
        EXPECT_TRUE(one.waitForFinished(60000));
        EXPECT_TRUE(two.waitForFinished(60000));
    }
    done = true;
    reader.waitForFinished();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0);
    std::size_t folders = 0;
    for (QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++folders;
    ASSERT_TRUE(indexOf(root));
    EXPECT_EQ(indexOf(root)->size(), folders);
    // Nothing is left behind but the one file.
    EXPECT_EQ(
        QDir(cache + QStringLiteral("/moviecat")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(IndexWalkTest, ACacheFolderThatCannotBeWrittenLeavesSearchesAsTheyWere)
{
    const QString one = tree.mkdir(QStringLiteral("one/love a/love b"));
    const QString two = tree.mkdir(QStringLiteral("two/love c"));
    const QStringList roots = {tree.path(QStringLiteral("one")), tree.path(QStringLiteral("two"))};
    const QList<QByteArray> expected = {tree.path(QStringLiteral("one/love a")).toUtf8(),
                                        one.toUtf8(), two.toUtf8()};
    // A file where the folder should be stands for a full or read-only cache alike: no
    // file can be made there.
    tree.writeFile(QStringLiteral("cache/moviecat"), "in the way");
    QByteArray errors;
    EXPECT_EQ(walk(roots, QStringLiteral("love"), &errors), expected);
    EXPECT_EQ(errors.count("index not written"), 1) << errors.constData();
    EXPECT_FALSE(QFileInfo::exists(batchFile()));

    // No cache at all: the same.
    qputenv("XDG_CACHE_HOME", "relative/not/allowed");
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", "");
    EXPECT_EQ(walk(roots, QStringLiteral("love"), &errors), expected);
    qputenv("HOME", home);
}

} // namespace
