#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace moviecat {

enum class EntryKind : quint8 { Unknown, Folder, File };

struct ListedName {
    QString name;
    EntryKind kind = EntryKind::Unknown; // Unknown where the directory entry does not say
};

struct EntryFacts {
    bool exists = false;
    EntryKind kind = EntryKind::Unknown;
    qint64 size = -1;
    qint64 modifiedMs = -1;
};

// The file-system calls behind the folder view, every one of which may block
// for ever on a share. Only workers call them; tests put in calls that block
// until the test lets them go.
class FolderLister {
public:
    virtual ~FolderLister() = default;

    // Reads the folder's entries, names and kinds only (no stat per entry),
    // handing each to `each`, which returns false to stop early. Returns 0 or
    // the errno of the failure.
    virtual int list(const QString &folder, const std::function<bool(ListedName &&)> &each) = 0;
    // One stat of the entry, links followed.
    virtual EntryFacts facts(const QString &folder, const QString &name) = 0;
    // Whether the kernel reports changes to the folder (a local disk); on a
    // network or FUSE file system it does not, and the folder is listed again
    // whenever it is shown again.
    virtual bool sendsChangeNotices(const QString &folder) = 0;
};

// The path of the entry called name in folder: one '/' between them, also
// under the root ("/" and "a" give "/a"). Plain string work.
QString joinPath(const QString &folder, const QString &name);

// The real calls: opendir/readdir (the kind from d_type), fstatat, statfs.
std::shared_ptr<FolderLister> systemFolderLister();

} // namespace moviecat
