// The real moviecat-cmd on real folder trees: what a search finds, in which order,
// and what it passes over.
#include "helperrun.h"
#include "helpers.h"
#include "temptree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <initializer_list>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

using moviecat::SearchBatch;
using moviecat::SkippedFolder;
using moviecat::SkipReason;
using moviecat::test::batchOf;
using moviecat::test::relativeLines;
using moviecat::test::resultLines;
using moviecat::test::runHelper;
using moviecat::test::TempTree;
using moviecat::test::utf8List;

namespace {

class HelperTest : public ::testing::Test {
protected:
    QString resultFile() const { return tree.path(QStringLiteral("scratch/list.txt")); }
    QString batchFile() const { return tree.path(QStringLiteral("scratch/list.bat")); }

    // Writes a batch of DIR lines (folder, text) and the closing DEL, and runs it.
    moviecat::test::HelperRun search(const QList<std::pair<QString, QString>> &lines,
                                     bool withoutDacOverride = false)
    {
        QStringList batch;
        for (const auto &[folder, text] : lines)
            batch << SearchBatch::dirLine(folder, text, resultFile());
        batch << SearchBatch::delLine(batchFile());
        tree.writeFile(QStringLiteral("scratch/list.bat"), batchOf(batch));
        return runHelper(batchFile(), withoutDacOverride);
    }
    QStringList found(const QString &root) const { return relativeLines(resultFile(), root); }
    // Searches one folder for the text; the raw bytes of each match below it.
    QList<QByteArray> namesFound(const QString &folder, const QString &text)
    {
        QFile::remove(resultFile());
        const auto run = search({{folder, text}});
        EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
        QList<QByteArray> names;
        for (const QByteArray &line : resultLines(resultFile()))
            names << line.mid(folder.toUtf8().size() + 1);
        return names;
    }

    TempTree tree;
};

TEST_F(HelperTest, ListsMatchesFolderByFolderInNameOrderIgnoringCase)
{
    const QString cat = tree.mkdir(QStringLiteral("cat"));
    for (const char *dir : {"b-love", "A-Love", "c/love-3", "c/Love-1", "c/x/LOVE-2", "a/love-z",
                            "_love", "d/abcLOVE", "d/ABCLOVE", "d/no match"})
        tree.mkdir(QStringLiteral("cat/") + QString::fromUtf8(dir));
    tree.writeFile(QStringLiteral("cat/love.txt"), "a file, not a folder");

    const auto run = search({{cat, QStringLiteral("love")}});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
    // In each folder its matches first, sorted as an NTFS folder sorts (upper case, so
    // "_" after the letters; equal names by their bytes), then each sub-folder in turn.
    EXPECT_EQ(found(cat), utf8List({"A-Love", "b-love", "_love", "a/love-z", "c/Love-1", "c/love-3",
                                    "c/x/LOVE-2", "d/ABCLOVE", "d/abcLOVE"}));
    EXPECT_FALSE(QFileInfo::exists(batchFile()));
}

TEST_F(HelperTest, KeepsCategoriesInBatchOrderAndRunsOnPastUnknownCommands)
{
    const QString first = tree.mkdir(QStringLiteral("zeta/movie one"));
    const QString second = tree.mkdir(QStringLiteral("alpha/movie two"));
    const QString movie = QStringLiteral("movie");
    tree.writeFile(
        QStringLiteral("scratch/list.bat"),
        batchOf({SearchBatch::dirLine(tree.path(QStringLiteral("zeta")), movie, resultFile()),
                 QStringLiteral("ECHOX this is no command"),
                 SearchBatch::dirLine(tree.path(QStringLiteral("alpha")), movie, resultFile()),
                 SearchBatch::dirLine(tree.path(QStringLiteral("missing")), movie, resultFile()),
                 SearchBatch::delLine(batchFile())}));

    const auto run = runHelper(batchFile());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(resultLines(resultFile()), QList<QByteArray>({first.toUtf8(), second.toUtf8()}));
    EXPECT_TRUE(
        run.standardError.contains("'ECHOX' is not recognized as an internal or external command"));
    EXPECT_TRUE(run.standardError.contains("missing"));
    EXPECT_FALSE(QFileInfo::exists(batchFile()));
}

// Where a folder's link count tells whether it holds sub-folders (tmpfs, ext4), the
// helper never opens those that hold none; where it does not, it opens every one.
// Either way it finds what find finds, in its own order.
TEST_F(HelperTest, NestedMatchesEqualFindsOnTmpfsAndOnTheTemporaryFolder)
{
    struct statfs fs;
    ASSERT_EQ(::statfs("/dev/shm", &fs), 0);
    ASSERT_EQ(fs.f_type, 0x01021994) << "/dev/shm is expected to be tmpfs";
    for (const QString &base : {QString(), QStringLiteral("/dev/shm")}) {
        SCOPED_TRACE(base.toStdString());
        const TempTree where(base);
        const QString cat = where.mkdir(QStringLiteral("cat"));
        for (const char *dir :
             {"b-love", "A-Love/poster", "c/love-3", "c/Love-1/extras/love-x", "c/x/LOVE-2",
              "c/x/y/z/lovely", "e/love empty", "e/love files", "e/.love hidden/love deep",
              "f/no/love/love/love", "g/love leaf", "g/other/sub"})
            where.mkdir(QStringLiteral("cat/") + QString::fromUtf8(dir));
        where.writeFile(QStringLiteral("cat/e/love files/movie.mkv"));
        where.writeFile(QStringLiteral("cat/g/love.nfo"));
        const QString results = where.path(QStringLiteral("list.txt"));
        const QString batch = where.writeFile(
            QStringLiteral("list.bat"),
            batchOf({SearchBatch::dirLine(cat, QStringLiteral("love"), results),
                     SearchBatch::delLine(where.path(QStringLiteral("list.bat")))}));
        const auto run = runHelper(batch);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
        const QStringList lines = relativeLines(results, cat);
        EXPECT_EQ(lines,
                  utf8List({"A-Love", "b-love", "c/Love-1", "c/love-3", "c/Love-1/extras/love-x",
                            "c/x/LOVE-2", "c/x/y/z/lovely", "e/.love hidden", "e/love empty",
                            "e/love files", "e/.love hidden/love deep", "f/no/love",
                            "f/no/love/love", "f/no/love/love/love", "g/love leaf"}));

        QProcess find;
        find.start(QStringLiteral("find"),
                   {cat, QStringLiteral("-mindepth"), QStringLiteral("1"), QStringLiteral("-type"),
                    QStringLiteral("d"), QStringLiteral("-iname"), QStringLiteral("*love*")});
        ASSERT_TRUE(find.waitForFinished(30000));
        QStringList expected;
        for (const QByteArray &line : find.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty())
                expected << QString::fromUtf8(line).mid(cat.size() + 1);
        }
        QStringList sorted = lines;
        sorted.sort();
        expected.sort();
        EXPECT_EQ(sorted, expected);
    }
}

TEST_F(HelperTest, IgnoresCaseAndAccentFormButKeepsEachNamesBytes)
{
    const QString cat = tree.mkdir(QStringLiteral("cat"));
    const QByteArray nfc = "Caf\xC3\xA9 Society"; // é composed
    const QByteArray nfd = "CAFE\xCC\x81 NOIR";   // É as E + U+0301
    const QByteArray plain = "Cafe Plain";        // no accent: not the same word
    for (const QByteArray &name :
         {nfc, nfd, plain, QByteArray("\xCE\xA9mega"), QByteArray("\xCF\x89MEGA 2"),
          QByteArray("\xD0\x94\xD0\xBE\xD0\xBC"), QByteArray("\xD0\xB4\xD0\xBE\xD0\xBC 2"),
          QByteArray("\xE7\x94\xB5\xE5\xBD\xB1\xE4\xB9\x8B\xE5\xAE\xB6"),
          QByteArray("\xCE\x9F\xCE\x94\xCE\x8C\xCE\xA3")})
        ASSERT_EQ(::mkdir((cat.toUtf8() + '/' + name).constData(), 0755), 0);

    auto lines = [&](const QString &text) {
        return namesFound(cat, text);
    };
    EXPECT_EQ(lines(QStringLiteral("café")), QList<QByteArray>({nfd, nfc}));
    EXPECT_EQ(lines(QStringLiteral("CAFE\u0301")), QList<QByteArray>({nfd, nfc}));
    EXPECT_EQ(lines(QStringLiteral("cafe ")), QList<QByteArray>({plain}));
    EXPECT_EQ(lines(QStringLiteral("ΩMEGA")),
              QList<QByteArray>({"\xCE\xA9mega", "\xCF\x89MEGA 2"}));
    EXPECT_EQ(lines(QStringLiteral("дОм")),
              QList<QByteArray>({"\xD0\x94\xD0\xBE\xD0\xBC", "\xD0\xB4\xD0\xBE\xD0\xBC 2"}));
    EXPECT_EQ(lines(QStringLiteral("之家")),
              QList<QByteArray>({"\xE7\x94\xB5\xE5\xBD\xB1\xE4\xB9\x8B\xE5\xAE\xB6"}));
    EXPECT_EQ(lines(QStringLiteral("οδός")),
              QList<QByteArray>({"\xCE\x9F\xCE\x94\xCE\x8C\xCE\xA3"}));
    // ? stands for one whole character, accent included.
    EXPECT_EQ(lines(QStringLiteral("caf? noir")), QList<QByteArray>({nfd}));
    EXPECT_EQ(lines(QStringLiteral("caf?? noir")), QList<QByteArray>());
}

// Names from Chinese Windows: found by the text they show (GBK read as GBK, a byte
// that reads as nothing passed over) and written with their own bytes.
TEST_F(HelperTest, FindsNamesThatAreNotUtf8ByWhatTheyReadAndKeepsTheirBytes)
{
    const QString cat = tree.mkdir(QStringLiteral("cat"));
    const QByteArray action = "\xB6\xAF\xD7\xF7\xC6\xAC"; // 动作片 in GBK
    const QByteArray dragon = "dragon \xC1\xFA";          // dragon 龙 in GBK
    const QByteArray cafe = "Caf\xE9 Dragon";             // one Latin-1 byte
    const QByteArray halfGbk = "Half \xC1";               // cut off after a lead byte
    for (const QByteArray &name :
         {action, action + '/' + dragon, dragon, cafe, halfGbk, QByteArray("Plain Dragon")})
        ASSERT_EQ(::mkdir((cat.toUtf8() + '/' + name).constData(), 0755), 0);

    auto lines = [&](const QString &text) {
        return namesFound(cat, text);
    };
    EXPECT_EQ(lines(QStringLiteral("龙")), QList<QByteArray>({dragon, action + '/' + dragon}));
    EXPECT_EQ(lines(QStringLiteral("DRAGON 龙")),
              QList<QByteArray>({dragon, action + '/' + dragon}));
    EXPECT_EQ(lines(QStringLiteral("动作")), QList<QByteArray>({action}));
    EXPECT_EQ(lines(QStringLiteral("caf")), QList<QByteArray>({cafe}));
    EXPECT_EQ(lines(QStringLiteral("half")), QList<QByteArray>({halfGbk}));
    EXPECT_EQ(lines(QStringLiteral("dragon")),
              QList<QByteArray>({cafe, dragon, "Plain Dragon", action + '/' + dragon}));
}

TEST_F(HelperTest, SearchesHiddenFolders)
{
    const QString cat = tree.mkdir(QStringLiteral("cat"));
    tree.mkdir(QStringLiteral("cat/.thumbs/love inside hidden"));
    tree.mkdir(QStringLiteral("cat/.love"));
    const auto run = search({{cat, QStringLiteral("love")}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(found(cat), utf8List({".love", ".thumbs/love inside hidden"}));
}

TEST_F(HelperTest, FollowsLinkedFoldersOnceAndSurvivesLoops)
{
    const QString cat = tree.mkdir(QStringLiteral("cat"));
    tree.mkdir(QStringLiteral("cat/real/love-inside"));
    tree.mkdir(QStringLiteral("cat/loop"));
    tree.mkdir(QStringLiteral("cat/zz"));
    tree.mkdir(QStringLiteral("outside/love-out/deeper-love"));
    ASSERT_EQ(::symlink("real", tree.path(QStringLiteral("cat/love-link")).toUtf8()), 0);
    ASSERT_EQ(::symlink("..", tree.path(QStringLiteral("cat/loop/back")).toUtf8()), 0);
    ASSERT_EQ(::symlink("../outside", tree.path(QStringLiteral("cat/love-out-link")).toUtf8()), 0);
    ASSERT_EQ(::symlink("../../outside", tree.path(QStringLiteral("cat/zz/again")).toUtf8()), 0);
    ASSERT_EQ(::symlink("../love-out",
                        tree.path(QStringLiteral("outside/love-out/deeper-love/up")).toUtf8()),
              0);
    ASSERT_EQ(::symlink("nowhere", tree.path(QStringLiteral("cat/love-broken")).toUtf8()), 0);

    const auto run = search({{cat, QStringLiteral("love")}});
    ASSERT_TRUE(run.finished) << "a link loop must not hang the walk";
    EXPECT_EQ(run.exitCode, 0);
    // Links are listed like folders; a folder reached a second time is not searched again.
    EXPECT_EQ(found(cat), utf8List({"love-link", "love-out-link", "love-out-link/love-out",
                                    "love-out-link/love-out/deeper-love", "real/love-inside"}));
}

TEST_F(HelperTest, PassesOverUnreadableFoldersAndGoesOn)
{
    const QString cat = tree.mkdir(QStringLiteral("cat"));
    const QString locked = tree.mkdir(QStringLiteral("cat/love-locked"));
    tree.mkdir(QStringLiteral("cat/love-locked/love-secret"));
    tree.mkdir(QStringLiteral("cat/love-open/love-visible"));
    ASSERT_EQ(::chmod(locked.toUtf8().constData(), 0), 0);

    // As root the helper runs without the capabilities that override permissions,
    // which can only fail where the process may not drop them.
    const auto run = search({{cat, QStringLiteral("love")}}, true);
    ::chmod(locked.toUtf8().constData(), 0755);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(found(cat), utf8List({"love-locked", "love-open", "love-open/love-visible"}));
    EXPECT_EQ(SearchBatch::skippedFolders(run.standardError),
              QList<SkippedFolder>(
                  {{locked, SkipReason::Unreadable, QString::fromUtf8(std::strerror(EACCES))}}));
}

// Left out, each for its reason: a name with a line break, a path too long to print, and
// a link whose target's path is too long to resolve.
TEST_F(HelperTest, PassesOverNamesWithLineBreaksOverlongPathsAndLinksItCannotResolve)
{
    const QString cat = tree.mkdir(QStringLiteral("cat"));
    tree.mkdir(QStringLiteral("cat/love\nbreak/love child"));
    tree.mkdir(QStringLiteral("cat/love ok"));
    // A chain of folders deeper than PATH_MAX, made relative to each other.
    int fd =
        ::open(tree.mkdir(QStringLiteral("cat/deep")).toUtf8().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const std::string level(200, 'd');
    std::string linkAt;
    std::string lastOpened = tree.path(QStringLiteral("cat/deep")).toStdString();
    for (int i = 0; i < 22; ++i) {
        if (i == 10) {
            std::string far;
            for (int j = 0; j < 12; ++j)
                far += level + "/";
            ASSERT_EQ(::symlinkat(far.c_str(), fd, "far"), 0);
            linkAt = lastOpened + "/far";
        }
        if (lastOpened.size() + level.size() + 1 < PATH_MAX)
            lastOpened += "/" + level;
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ASSERT_EQ(::mkdirat(fd, "love deep", 0755), 0);
    ::close(fd);

    const auto run = search({{cat, QStringLiteral("love")}});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(found(cat), utf8List({"love ok"}));
    const QList<SkippedFolder> skipped = SearchBatch::skippedFolders(run.standardError);
    ASSERT_EQ(skipped.size(), 3) << run.standardError.constData();
    EXPECT_EQ(skipped[0].path, cat + QStringLiteral("/love\\nbreak"));
    EXPECT_EQ(skipped[0].reason, SkipReason::NameNotWritable);
    // The deepest folder that can be named, and the start of the name that cannot.
    EXPECT_EQ(skipped[1].path,
              QString::fromStdString(lastOpened + "/" + level.substr(0, 64) + "..."));
    EXPECT_EQ(skipped[1].reason, SkipReason::NameNotWritable);
    EXPECT_EQ(skipped[2],
              (SkippedFolder{QString::fromStdString(linkAt), SkipReason::LinkNotFollowed,
                             QString::fromUtf8(std::strerror(ENAMETOOLONG))}));
    EXPECT_FALSE(QFileInfo::exists(batchFile()));
}

// The window takes the batch file's disappearance as "results complete": when it is
// gone, everything must already be in the result file.
TEST_F(HelperTest, DeletesTheBatchOnlyAfterTheResultsAreComplete)
{
    const QString cat = tree.mkdir(QStringLiteral("cat"));
    QStringList expected;
    for (int shelf = 0; shelf < 20; ++shelf) {
        for (int movie = 0; movie < 60; ++movie) {
            const QString name =
                QStringLiteral("s%1/m%2 %3")
                    .arg(shelf, 2, 10, QLatin1Char('0'))
                    .arg(movie, 2, 10, QLatin1Char('0'))
                    .arg(movie % 3 == 0 ? QStringLiteral("hit") : QStringLiteral("x"));
            tree.mkdir(QStringLiteral("cat/") + name);
            if (movie % 3 == 0)
                expected << name;
        }
    }
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    tree.mkdir(QStringLiteral("scratch"));
    ASSERT_GE(::inotify_add_watch(watch, tree.path(QStringLiteral("scratch")).toUtf8(), IN_DELETE),
              0);

    tree.writeFile(QStringLiteral("scratch/list.bat"),
                   batchOf({SearchBatch::dirLine(cat, QStringLiteral("hit"), resultFile()),
                            SearchBatch::delLine(batchFile())}));
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/moviecat-cmd"),
                  {batchFile()});
    pollfd p{watch, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 60000), 1) << "the batch file was never deleted";
    const QStringList atDeletion = found(cat);
    EXPECT_TRUE(process.waitForFinished(60000));
    ::close(watch);
    EXPECT_EQ(atDeletion, expected);
}

TEST_F(HelperTest, KeepsTheBatchWhenResultsCannotBeWritten)
{
    tree.mkdir(QStringLiteral("cat/love"));
    tree.writeFile(
        QStringLiteral("scratch/list.bat"),
        batchOf({SearchBatch::dirLine(tree.path(QStringLiteral("cat")), QStringLiteral("love"),
                                      QStringLiteral("/dev/full")),
                 SearchBatch::delLine(batchFile())}));
    const auto run = runHelper(batchFile());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(QFileInfo::exists(batchFile())) << "a deleted batch would report success";
    EXPECT_TRUE(run.standardError.contains("/dev/full")) << run.standardError.constData();
}

} // namespace
