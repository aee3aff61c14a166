#include "disk/fileoperations.h"

#include "ui/filenames.h"

#include <QMimeData>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace moviecat {

QMimeData *entriesMimeData(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString &path : paths)
        urls << FileNames::url(path);
    data->setUrls(urls);
    // Plain text cannot carry bytes that are not UTF-8: it gets the readable form.
    QStringList readable;
    for (const QString &path : paths)
        readable << FileNames::readable(path);
    data->setText(readable.join(QLatin1Char('\n')));
    return data;
}

NameRefusal checkNewName(const QString &oldName, const QString &newName)
{
    if (newName == oldName)
        return NameRefusal::Unchanged;
    if (newName.isEmpty())
        return NameRefusal::Empty;
    if (newName.contains(QLatin1Char('/')))
        return NameRefusal::Slash;
    // A NUL would cut the name short in the system call.
    if (newName == QLatin1String(".") || newName == QLatin1String("..") ||
        newName.contains(QChar(0)))
        return NameRefusal::Reserved;
    return NameRefusal::None;
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash <= 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray baseName(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;
    // A file system without the flag (several network and FUSE ones). A file
    // goes by link and unlink, which fail rather than replace.
    struct stat info {};
    if (::lstat(from.constData(), &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode)) {
        if (::link(from.constData(), to.constData()) == 0) {
            if (::unlink(from.constData()) != 0) {
                error = errno;
                ::unlink(to.constData());
                return error;
            }
            return 0;
        }
        if (errno == EEXIST)
            return EEXIST;
    }
    // Folders, and files where links are not allowed: look, then rename. Only
    // another program racing us in these microseconds could be replaced.
    if (::lstat(to.constData(), &info) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

namespace {

// The names in an open folder, "." and ".." left out; read whole first, so
// the caller may remove entries while going through them.
int namesIn(int folderFd, std::vector<std::string> &names)
{
    const int fd = ::dup(folderFd);
    if (fd < 0)
        return errno;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry)
            break;
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    const int error = errno;
    ::closedir(dir);
    return error;
}

int removeFolder(int parentFd, const char *name)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    std::vector<std::string> names;
    int error = namesIn(fd, names);
    for (const std::string &child : names) {
        if (error)
            break;
        struct stat info {};
        if (::fstatat(fd, child.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            error = errno;
        else if (S_ISDIR(info.st_mode))
            error = removeFolder(fd, child.c_str());
        else if (::unlinkat(fd, child.c_str(), 0) != 0)
            error = errno;
    }
    ::close(fd);
    if (error)
        return error;
    return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

} // namespace

int deleteForGood(const QByteArray &path)
{
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode))
        return ::unlink(path.constData()) == 0 ? 0 : errno;
    const int parent = ::open(parentOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return errno;
    const int error = removeFolder(parent, baseName(path).constData());
    ::close(parent);
    return error;
}

namespace {

QDateTime fromTimestamp(const struct statx_timestamp &time)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000);
}

} // namespace

EntryDetails entryDetails(const QByteArray &path)
{
    EntryDetails details;
    struct statx info {};
    const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
    struct stat own {};
    if (::lstat(path.constData(), &own) != 0) {
        details.error = errno;
        return details;
    }
    details.isLink = S_ISLNK(own.st_mode);
    // A link shows what it leads to, a link to nothing itself.
    if (::statx(AT_FDCWD, path.constData(), 0, mask, &info) != 0 &&
        ::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW, mask, &info) != 0) {
        details.error = errno;
        return details;
    }
    details.isFolder = S_ISDIR(info.stx_mode);
    details.size = qint64(info.stx_size);
    details.modified = fromTimestamp(info.stx_mtime);
    details.accessed = fromTimestamp(info.stx_atime);
    if (info.stx_mask & STATX_BTIME)
        details.created = fromTimestamp(info.stx_btime);
    return details;
}

namespace {

using Clock = std::chrono::steady_clock;

struct SizeWalk {
    const std::atomic_bool &cancel;
    const std::function<void(const ContentSize &)> &progress;
    ContentSize total;
    Clock::time_point lastReport = Clock::now();

    void below(int folderFd)
    {
        std::vector<std::string> names;
        if (namesIn(folderFd, names) != 0)
            ++total.unreadable;
        for (const std::string &name : names) {
            if (cancel.load(std::memory_order_relaxed)) {
                total.cancelled = true;
                return;
            }
            struct stat info {};
            if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(info.st_mode)) {
                ++total.folders;
                const int fd = ::openat(folderFd, name.c_str(),
                                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0) {
                    ++total.unreadable;
                    continue;
                }
                below(fd);
                ::close(fd);
            } else {
                ++total.files;
                total.bytes += qint64(info.st_size);
            }
            if (progress && Clock::now() - lastReport > std::chrono::milliseconds(200)) {
                lastReport = Clock::now();
                progress(total);
            }
        }
    }
};

} // namespace

ContentSize contentSize(const QByteArray &folder, const std::atomic_bool &cancel,
                        const std::function<void(const ContentSize &)> &progress)
{
    SizeWalk walk{cancel, progress, {}};
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        walk.total.unreadable = 1;
        return walk.total;
    }
    walk.below(fd);
    ::close(fd);
    return walk.total;
}

// Whether opening the file would run a program: a desktop entry, or a file
// marked executable that starts as a program does (ELF or "#!"). Movies on
// disks mounted from Windows often carry the executable mark; they are not
// asked about.
bool runsAProgram(const QByteArray &path)
{
    if (path.endsWith(".desktop"))
        return true;
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !(info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)))
        return false;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return true; // marked executable and unreadable: better asked than run
    char head[4] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    return (n >= 4 && std::memcmp(head,
                                  "\x7f"
                                  "ELF",
                                  4) == 0) ||
           (n >= 2 && head[0] == '#' && head[1] == '!');
}

} // namespace moviecat
