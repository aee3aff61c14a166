#include "folderview/fileoperations.h"

#include <QFile>
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

QByteArray nameBytes(const QString &name)
{
    return QFile::encodeName(name);
}

QString nameText(const QByteArray &bytes)
{
    return QFile::decodeName(bytes);
}

QUrl localFileUrl(const QString &path)
{
    // Percent-encoded from the bytes, so a name that is not UTF-8 reaches the
    // other program unchanged.
    return QUrl::fromEncoded("file://" + nameBytes(path).toPercentEncoding("/"), QUrl::StrictMode);
}

QMimeData *entriesMimeData(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString &path : paths)
        urls << localFileUrl(path);
    data->setUrls(urls);
    data->setText(paths.join(QLatin1Char('\n')));
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

// Makes the folder (and missing parents) with mode 0700; 0 or the errno.
int makeFolders(const QByteArray &path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    const QByteArray parent = parentOf(path);
    if (parent != path) {
        if (const int error = makeFolders(parent))
            return error;
    }
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

// A trash folder of our own: a real folder (no link) that belongs to us.
int ownFolder(const QByteArray &path)
{
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return errno;
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return EPERM;
    return 0;
}

QByteArray unescapeMountPoint(const QByteArray &field)
{
    // mountinfo writes blanks, tabs, newlines and backslashes as \ooo.
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3') {
            out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                        (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The mount point holding a real (link-free) path.
QByteArray mountPointOf(const QByteArray &realPath)
{
    QByteArray best = QByteArrayLiteral("/");
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return best;
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        const QByteArray point = unescapeMountPoint(fields[4]);
        const bool holds = point == "/" || realPath == point || realPath.startsWith(point + '/');
        if (holds && point.size() > best.size())
            best = point;
    }
    return best;
}

QByteArray realPathOf(const QByteArray &path)
{
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray out(resolved);
    ::free(resolved);
    return out;
}

struct TrashPlace {
    int error = 0;
    QByteArray folder;     // holds files/ and info/
    QByteArray storedPath; // what the .trashinfo names
};

TrashPlace trashFor(const QByteArray &path, const struct stat &entry)
{
    TrashPlace place;
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/'))
        dataHome = qgetenv("HOME") + "/.local/share";
    struct stat home {};
    if (makeFolders(dataHome) == 0 && ::stat(dataHome.constData(), &home) == 0 &&
        home.st_dev == entry.st_dev) {
        place.folder = dataHome + "/Trash";
        place.storedPath = path;
        place.error = makeFolders(place.folder);
        return place;
    }
    const QByteArray realParent = realPathOf(parentOf(path));
    if (realParent.isEmpty()) {
        place.error = errno;
        return place;
    }
    const QByteArray top = mountPointOf(realParent);
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray prefix = top == "/" ? top : top + '/';
    const QByteArray realPath =
        (realParent == "/" ? realParent : realParent + '/') + baseName(path);
    place.storedPath = realPath.startsWith(prefix) ? realPath.mid(prefix.size()) : realPath;
    // $topdir/.Trash, set up by the administrator: a sticky folder, no link.
    const QByteArray shared = prefix + ".Trash";
    struct stat info {};
    if (::lstat(shared.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
        (info.st_mode & S_ISVTX)) {
        place.folder = shared + '/' + uid;
        if (ownFolder(place.folder) == 0)
            return place;
    }
    place.folder = prefix + ".Trash-" + uid;
    place.error = ownFolder(place.folder);
    return place;
}

int writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += n;
    }
    return 0;
}

} // namespace

QByteArray trashInfo(const QByteArray &pathAsStored, const QDateTime &deletedAt)
{
    return "[Trash Info]\nPath=" + pathAsStored.toPercentEncoding("/") + "\nDeletionDate=" +
           deletedAt.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() + '\n';
}

TrashResult moveToTrash(const QByteArray &path)
{
    TrashResult result;
    struct stat entry {};
    if (::lstat(path.constData(), &entry) != 0) {
        result.error = errno;
        return result;
    }
    const TrashPlace place = trashFor(path, entry);
    int error = place.error;
    const QByteArray files = place.folder + "/files";
    const QByteArray info = place.folder + "/info";
    if (!error)
        error = makeFolders(files);
    if (!error)
        error = makeFolders(info);
    if (error) {
        result.outcome = TrashResult::Outcome::NoTrash;
        result.error = error;
        return result;
    }
    const QByteArray contents = trashInfo(place.storedPath, QDateTime::currentDateTime());
    // Room for ".trashinfo" and a number within the name limit of 255 bytes.
    const QByteArray base = baseName(path).left(200);
    for (int n = 1; n < 10000; ++n) {
        const QByteArray name = n == 1 ? base : base + '.' + QByteArray::number(n);
        const QByteArray infoFile = info + '/' + name + ".trashinfo";
        // The info file claims the name first, as the trash specification asks.
        const int fd = ::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            result.outcome = TrashResult::Outcome::NoTrash;
            result.error = errno;
            return result;
        }
        error = writeAll(fd, contents);
        if (::close(fd) != 0 && !error)
            error = errno;
        if (error) {
            ::unlink(infoFile.constData());
            result.error = error;
            return result;
        }
        const QByteArray trashedFile = files + '/' + name;
        error = renameNoReplace(path, trashedFile);
        if (error == EEXIST) {
            ::unlink(infoFile.constData());
            continue;
        }
        if (error) {
            ::unlink(infoFile.constData());
            // Another file system than its trash: never copied, never deleted.
            result.outcome =
                error == EXDEV ? TrashResult::Outcome::NoTrash : TrashResult::Outcome::Failed;
            result.error = error;
            return result;
        }
        result.outcome = TrashResult::Outcome::Trashed;
        result.entry = {path, trashedFile, infoFile};
        return result;
    }
    result.error = EEXIST;
    return result;
}

int restoreFromTrash(const TrashedEntry &entry)
{
    if (const int error = renameNoReplace(entry.trashedFile, entry.original))
        return error;
    // The entry is back; a stale info file would only list a ghost in the trash.
    ::unlink(entry.infoFile.constData());
    return 0;
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

} // namespace moviecat
