#include "disk/folderlister.h"

#include "base/filesystems.h"
#include "ui/filenames.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>

namespace moviecat {

namespace {

EntryKind kindOfMode(mode_t mode)
{
    return S_ISDIR(mode) ? EntryKind::Folder : EntryKind::File;
}

class SystemLister : public FolderLister {
public:
    int list(const QString &folder, const std::function<bool(ListedName &&)> &each) override
    {
        DIR *dir = opendir(FileNames::toBytes(folder).constData());
        if (!dir)
            return errno;
        for (;;) {
            errno = 0;
            const dirent *entry = readdir(dir);
            if (!entry)
                break;
            const char *name = entry->d_name;
            // Hidden entries stay hidden, as in a file manager's default view;
            // that also drops "." and "..".
            if (name[0] == '.')
                continue;
            ListedName listed{FileNames::fromBytes(name), EntryKind::Unknown};
            if (entry->d_type == DT_DIR)
                listed.kind = EntryKind::Folder;
            else if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
                listed.kind = EntryKind::File;
            if (!each(std::move(listed)))
                break;
        }
        const int error = errno;
        closedir(dir);
        return error;
    }

    EntryFacts facts(const QString &folder, const QString &name) override
    {
        const QByteArray path = FileNames::toBytes(joinPath(folder, name));
        struct stat info {};
        EntryFacts facts;
        if (stat(path.constData(), &info) != 0) {
            // A link to nothing is still an entry to show.
            if (errno != ENOENT || lstat(path.constData(), &info) != 0)
                return facts;
        }
        facts.exists = true;
        facts.kind = kindOfMode(info.st_mode);
        facts.size = facts.kind == EntryKind::Folder ? 0 : qint64(info.st_size);
        facts.modifiedMs = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
        return facts;
    }

    bool sendsChangeNotices(const QString &folder) override
    {
        struct statfs info {};
        if (statfs(FileNames::toBytes(folder).constData(), &info) != 0)
            return false;
        return !isNetworkFileSystem(static_cast<unsigned long>(info.f_type));
    }
};

} // namespace

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

std::shared_ptr<FolderLister> systemFolderLister()
{
    return std::make_shared<SystemLister>();
}

} // namespace moviecat
