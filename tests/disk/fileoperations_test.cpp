#include "disk/fileoperations.h"
#include "disk/trash.h"
#include "helpers.h"
#include "lockedfolder.h"
#include "temptree.h"
#include "ui/filenames.h"
#include "xdgfolders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::test {
namespace {

QByteArray bytesOf(const QString &path)
{
    return FileNames::toBytes(path);
}

bool exists(const QByteArray &path)
{
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0;
}

QByteArray readAll(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return "<unreadable>";
    QByteArray bytes;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

void writeBytes(const QByteArray &path, const QByteArray &contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, contents.constData(), size_t(contents.size())), contents.size());
    ::close(fd);
}

class FileOperationsTest : public ::testing::Test {
protected:
    QByteArray homeTrash() const { return bytesOf(tree.path(QStringLiteral("data/Trash"))); }

    TempTree tree;
    XdgFolders xdg{tree.root()};
};

TEST(NewNames, RefusedBeforeTheDiskIsAsked)
{
    const QString old = QStringLiteral("Film");
    EXPECT_EQ(checkNewName(old, old), NameRefusal::Unchanged);
    EXPECT_EQ(checkNewName(old, QString()), NameRefusal::Empty);
    EXPECT_EQ(checkNewName(old, QStringLiteral("a/b")), NameRefusal::Slash);
    EXPECT_EQ(checkNewName(old, QStringLiteral("/")), NameRefusal::Slash);
    EXPECT_EQ(checkNewName(old, QStringLiteral(".")), NameRefusal::Reserved);
    EXPECT_EQ(checkNewName(old, QStringLiteral("..")), NameRefusal::Reserved);
    EXPECT_EQ(checkNewName(old, QStringLiteral("a") + QChar(0) + QStringLiteral("b")),
              NameRefusal::Reserved);
    // Blanks belong to a name; a case change is a rename.
    EXPECT_EQ(checkNewName(old, QStringLiteral(" Film ")), NameRefusal::None);
    EXPECT_EQ(checkNewName(old, QStringLiteral("film")), NameRefusal::None);
    EXPECT_EQ(checkNewName(old, QStringLiteral("...")), NameRefusal::None);
}

TEST_F(FileOperationsTest, RenameNeverReplacesAndGivesTheSystemsReason)
{
    const QByteArray a = bytesOf(tree.writeFile(QStringLiteral("films/A.mkv"), "first"));
    const QByteArray b = bytesOf(tree.writeFile(QStringLiteral("films/B.mkv"), "second"));
    const QByteArray folder = bytesOf(tree.mkdir(QStringLiteral("films/Old")));
    tree.mkdir(QStringLiteral("films/Taken"));

    EXPECT_EQ(renameNoReplace(a, b), EEXIST);
    EXPECT_EQ(readAll(a), "first");
    EXPECT_EQ(readAll(b), "second");
    EXPECT_EQ(renameNoReplace(folder, bytesOf(tree.path(QStringLiteral("films/Taken")))), EEXIST);
    EXPECT_TRUE(exists(folder));

    const QByteArray renamed = bytesOf(tree.path(QStringLiteral("films/C.mkv")));
    EXPECT_EQ(renameNoReplace(a, renamed), 0);
    EXPECT_FALSE(exists(a));
    EXPECT_EQ(readAll(renamed), "first");
    EXPECT_EQ(renameNoReplace(folder, bytesOf(tree.path(QStringLiteral("films/New")))), 0);

    EXPECT_EQ(renameNoReplace(bytesOf(tree.path(QStringLiteral("films/gone"))),
                              bytesOf(tree.path(QStringLiteral("films/x")))),
              ENOENT);

    // A name longer than the file system allows.
    EXPECT_EQ(renameNoReplace(b, bytesOf(tree.path(QStringLiteral("films/")) + QString(300, u'x'))),
              ENAMETOOLONG);

    const QByteArray films = bytesOf(tree.path(QStringLiteral("films")));
    LockedFolder locked(films);
    ASSERT_TRUE(locked.holds()) << "cannot make a folder unwritable here";
    const int error = renameNoReplace(b, bytesOf(tree.path(QStringLiteral("films/D.mkv"))));
    EXPECT_TRUE(error == EACCES || error == EPERM) << strerror(error);
    EXPECT_EQ(readAll(b), "second");
}

TEST_F(FileOperationsTest, TrashGoesToTheHomeTrashWithItsInfoAndComesBackExactly)
{
    const QByteArray file = bytesOf(tree.writeFile(QStringLiteral("films/Bad Copy.avi"), "x"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const TrashResult result = moveToTrash(file);
    ASSERT_EQ(result.outcome, TrashResult::Outcome::Trashed) << strerror(result.error);

    EXPECT_FALSE(exists(file));
    EXPECT_EQ(result.entry.trashedFile, homeTrash() + "/files/Bad Copy.avi");
    EXPECT_EQ(result.entry.infoFile, homeTrash() + "/info/Bad Copy.avi.trashinfo");
    EXPECT_EQ(readAll(result.entry.trashedFile), "x");

    const QList<QByteArray> lines = readAll(result.entry.infoFile).split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "[Trash Info]");
    EXPECT_EQ(lines[1], "Path=" + file.toPercentEncoding("/"));
    ASSERT_TRUE(lines[2].startsWith("DeletionDate="));
    const QDateTime deleted = QDateTime::fromString(QString::fromLatin1(lines[2].mid(13)),
                                                    QStringLiteral("yyyy-MM-ddThh:mm:ss"));
    EXPECT_TRUE(deleted.isValid());
    EXPECT_LE(before, deleted);
    EXPECT_LE(deleted, QDateTime::currentDateTime());

    EXPECT_EQ(restoreFromTrash(result.entry), 0);
    EXPECT_EQ(readAll(file), "x");
    EXPECT_FALSE(exists(result.entry.trashedFile));
    EXPECT_FALSE(exists(result.entry.infoFile));
}

TEST_F(FileOperationsTest, NamesThatAreNotUtf8AndNamesTakenInTheTrash)
{
    // GBK "动作片" and a Latin-1 "Café": the bytes must survive the round trip.
    const QByteArray folder = bytesOf(tree.mkdir(QStringLiteral("films")));
    const QByteArray gbk = folder + "/\xb6\xaf\xd7\xf7\xc6\xac";
    const QByteArray latin = folder + "/Caf\xe9";
    ASSERT_EQ(::mkdir(gbk.constData(), 0755), 0);
    writeBytes(latin, "latin");
    // The same name twice: the second takes another name in the trash.
    const QByteArray other = bytesOf(tree.mkdir(QStringLiteral("other")));
    writeBytes(other + "/Caf\xe9", "other");

    const TrashResult first = moveToTrash(gbk);
    const TrashResult second = moveToTrash(latin);
    const TrashResult third = moveToTrash(other + "/Caf\xe9");
    ASSERT_EQ(first.outcome, TrashResult::Outcome::Trashed);
    ASSERT_EQ(second.outcome, TrashResult::Outcome::Trashed);
    ASSERT_EQ(third.outcome, TrashResult::Outcome::Trashed);
    EXPECT_NE(second.entry.trashedFile, third.entry.trashedFile);
    EXPECT_TRUE(readAll(second.entry.infoFile).contains("Path=" + folder + "/Caf%E9\n"));
    EXPECT_TRUE(readAll(third.entry.infoFile).contains("Path=" + other + "/Caf%E9\n"));

    for (const TrashResult *r : {&first, &second, &third})
        EXPECT_EQ(restoreFromTrash(r->entry), 0) << r->entry.original.constData();
    struct stat info {};
    EXPECT_EQ(::stat(gbk.constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(readAll(latin), "latin");
    EXPECT_EQ(readAll(other + "/Caf\xe9"), "other");
    // QTemporaryDir cannot remove names it cannot spell.
    EXPECT_EQ(deleteForGood(folder), 0);
    EXPECT_EQ(deleteForGood(other), 0);
}

TEST_F(FileOperationsTest, UndoNeverReplacesWhatTookTheNamesPlace)
{
    const QByteArray file = bytesOf(tree.writeFile(QStringLiteral("films/A.mkv"), "old"));
    const TrashResult result = moveToTrash(file);
    ASSERT_EQ(result.outcome, TrashResult::Outcome::Trashed);
    writeBytes(file, "new");
    EXPECT_EQ(restoreFromTrash(result.entry), EEXIST);
    EXPECT_EQ(readAll(file), "new");
    EXPECT_EQ(readAll(result.entry.trashedFile), "old");
    EXPECT_TRUE(exists(result.entry.infoFile));

    EXPECT_EQ(moveToTrash(bytesOf(tree.path(QStringLiteral("films/none")))).error, ENOENT);
}

TEST_F(FileOperationsTest, AnotherMountUsesTheTrashAtItsTop)
{
    // /dev/shm is a mount of its own on most systems; the home trash is elsewhere.
    struct stat shm {};
    struct stat data {};
    ASSERT_EQ(::stat(bytesOf(tree.root()).constData(), &data), 0);
    if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == data.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm to trash on";
    const QByteArray topTrash = "/dev/shm/.Trash-" + QByteArray::number(::getuid());
    const bool hadTopTrash = exists(topTrash);
    TempTree shared(QStringLiteral("/dev/shm"));
    const QByteArray file = bytesOf(shared.writeFile(QStringLiteral("Film.mkv"), "f"));

    const TrashResult result = moveToTrash(file);
    ASSERT_EQ(result.outcome, TrashResult::Outcome::Trashed) << strerror(result.error);
    EXPECT_TRUE(result.entry.trashedFile.startsWith(topTrash + "/files/"));
    // Relative to the top of the mount there.
    EXPECT_TRUE(readAll(result.entry.infoFile)
                    .contains("\nPath=" + file.mid(9).toPercentEncoding("/") + '\n'));
    EXPECT_FALSE(exists(homeTrash() + "/files/Film.mkv"));
    EXPECT_EQ(restoreFromTrash(result.entry), 0);
    EXPECT_EQ(readAll(file), "f");
    if (!hadTopTrash)
        deleteForGood(topTrash);
}

TEST_F(FileOperationsTest, DeleteForGoodRemovesTheTreeButNothingALinkLeadsTo)
{
    const QString outside = tree.writeFile(QStringLiteral("keep/precious.txt"), "keep");
    tree.writeFile(QStringLiteral("doomed/a/b/c.txt"), "c");
    tree.writeFile(QStringLiteral("doomed/top.txt"), "t");
    ASSERT_EQ(::symlink(bytesOf(tree.path(QStringLiteral("keep"))).constData(),
                        bytesOf(tree.path(QStringLiteral("doomed/a/link"))).constData()),
              0);

    EXPECT_EQ(deleteForGood(bytesOf(tree.path(QStringLiteral("doomed")))), 0);
    EXPECT_FALSE(exists(bytesOf(tree.path(QStringLiteral("doomed")))));
    EXPECT_EQ(readAll(bytesOf(outside)), "keep");

    const QByteArray file = bytesOf(tree.writeFile(QStringLiteral("single.avi"), "s"));
    EXPECT_EQ(deleteForGood(file), 0);
    EXPECT_FALSE(exists(file));
    EXPECT_EQ(deleteForGood(file), ENOENT);
}

TEST_F(FileOperationsTest, FolderSizesAndDetails)
{
    tree.writeFile(QStringLiteral("movie/a.mkv"), QByteArray(1000, 'a'));
    tree.writeFile(QStringLiteral("movie/extras/b.mkv"), QByteArray(234, 'b'));
    tree.mkdir(QStringLiteral("movie/empty"));
    const QByteArray movie = bytesOf(tree.path(QStringLiteral("movie")));
    ASSERT_EQ(::symlink("/usr", (movie + "/usr").constData()), 0);

    std::atomic_bool cancel = false;
    const ContentSize size = contentSize(movie, cancel);
    EXPECT_EQ(size.bytes, 1234 + qint64(::strlen("/usr")));
    EXPECT_EQ(size.files, 3); // the link counts as itself
    EXPECT_EQ(size.folders, 2);
    EXPECT_FALSE(size.cancelled);

    cancel = true;
    EXPECT_TRUE(contentSize(movie, cancel).cancelled);
    EXPECT_EQ(contentSize(movie + "/none", cancel).unreadable, 1);

    const EntryDetails folder = entryDetails(movie);
    EXPECT_EQ(folder.error, 0);
    EXPECT_TRUE(folder.isFolder);
    EXPECT_TRUE(folder.modified.isValid());
    const EntryDetails file = entryDetails(movie + "/a.mkv");
    EXPECT_FALSE(file.isFolder);
    EXPECT_EQ(file.size, 1000);
    EXPECT_TRUE(entryDetails(movie + "/usr").isLink);
    EXPECT_EQ(entryDetails(movie + "/none").error, ENOENT);
}

TEST(EntriesMimeData, UriListAndPlainPathsWithExactBytes)
{
    const QString chinese = QStringLiteral("/srv/影片/动作 片.mkv");
    const QString plain = QStringLiteral("/srv/films/A #1.avi");
    std::unique_ptr<QMimeData> data(entriesMimeData({chinese, plain}));
    ASSERT_TRUE(data->hasUrls());
    ASSERT_EQ(data->urls().size(), 2);
    EXPECT_EQ(data->urls()[0].toLocalFile(), chinese);
    EXPECT_EQ(data->urls()[1].toLocalFile(), plain);
    EXPECT_EQ(data->urls()[1].toEncoded(), "file:///srv/films/A%20%231.avi");
    EXPECT_EQ(data->data(QStringLiteral("text/uri-list")),
              data->urls()[0].toEncoded() + "\r\n" + data->urls()[1].toEncoded() + "\r\n");
    EXPECT_EQ(data->text(), chinese + QLatin1Char('\n') + plain);
}

} // namespace
} // namespace moviecat::test
