#include "disk/trash.h"

#include "disk/xdgfolders.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat {

namespace {

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
    const QByteArray dataHome = xdg::dataHome();
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

// The entry's trash with its files/ and info/ folders made; error set where there is none.
TrashPlace readyTrashFor(const QByteArray &path, const struct stat &entry)
{
    TrashPlace place = trashFor(path, entry);
    if (!place.error)
        place.error = makeFolders(place.folder + "/files");
    if (!place.error)
        place.error = makeFolders(place.folder + "/info");
    return place;
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
    const TrashPlace place = readyTrashFor(path, entry);
    if (place.error) {
        result.outcome = TrashResult::Outcome::NoTrash;
        result.error = place.error;
        return result;
    }
    const QByteArray files = place.folder + "/files";
    const QByteArray info = place.folder + "/info";
    const QByteArray contents = trashInfo(place.storedPath, QDateTime::currentDateTime());
    // Room for ".trashinfo" and a number within the name limit of 255 bytes.
    const QByteArray base = baseName(path).left(200);
    for (int n = 1; n < 10000; ++n) {
        const QByteArray name = n == 1 ? base : base + '.' + QByteArray::number(n);
        const QByteArray infoFile = info + '/' + name + ".trashinfo";
        // The info file claims the name first, as the freedesktop trash rules ask.
        const int fd = ::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            result.outcome = TrashResult::Outcome::NoTrash;
            result.error = errno;
            return result;
        }
        int error = writeAll(fd, contents);
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

} // namespace moviecat
