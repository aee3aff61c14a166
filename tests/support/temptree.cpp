#include "temptree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace moviecat::test {

namespace {

// One folder relative to the other: no path grows longer than a name.
void removeTreeAt(int parent, const char *name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        if (DIR *dir = ::fdopendir(fd)) {
            std::vector<std::string> children;
            while (const dirent *d = ::readdir(dir)) {
                if (std::string_view(d->d_name) != "." && std::string_view(d->d_name) != "..")
                    children.emplace_back(d->d_name);
            }
            for (const std::string &child : children) {
                if (::unlinkat(dirfd(dir), child.c_str(), 0) != 0)
                    removeTreeAt(dirfd(dir), child.c_str());
            }
            ::closedir(dir);
        } else {
            ::close(fd);
        }
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

} // namespace

TempTree::TempTree(const QString &base)
    : m_dir((base.isEmpty() ? QDir::tempPath() : base) + QStringLiteral("/moviecat-test-XXXXXX"))
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

TempTree::~TempTree()
{
    // What is left (a folder it could not open) QTemporaryDir still tries.
    if (m_dir.isValid())
        removeTreeAt(AT_FDCWD, root().toUtf8().constData()); // a path of our own making
}

QString TempTree::root() const
{
    return QDir::cleanPath(m_dir.path());
}

QString TempTree::path(const QString &relative) const
{
    return QDir::cleanPath(root() + QLatin1Char('/') + relative);
}

QString TempTree::mkdir(const QString &relative) const
{
    const QString p = path(relative);
    if (!QDir().mkpath(p))
        throw std::runtime_error("cannot create folder " + p.toStdString());
    return p;
}

QString TempTree::writeFile(const QString &relative, const QByteArray &bytes) const
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write file " + p.toStdString());
    return p;
}

} // namespace moviecat::test
