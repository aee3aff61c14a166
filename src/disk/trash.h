#pragma once

#include "disk/fileoperations.h"

#include <QByteArray>
#include <QDateTime>

namespace moviecat {

// The freedesktop trash, for workers only: every call may block on a share.

// An entry moved to a trash, and where to take it back from.
struct TrashedEntry {
    QByteArray original;    // the path it had
    QByteArray trashedFile; // .../Trash/files/NAME
    QByteArray infoFile;    // .../Trash/info/NAME.trashinfo
};

struct TrashResult {
    enum class Outcome { Trashed, NoTrash, Failed };
    Outcome outcome = Outcome::Failed;
    int error = 0; // errno for NoTrash and Failed
    TrashedEntry entry;
};

// Moves the entry to the freedesktop trash: the home trash
// ($XDG_DATA_HOME/Trash) for entries on its file system, otherwise
// $topdir/.Trash/$uid or $topdir/.Trash-$uid at the top of the entry's mount.
// Never copies across file systems and never deletes: where no trash can be
// had, the entry stays and the outcome says NoTrash.
TrashResult moveToTrash(const QByteArray &path);

// Puts a trashed entry back where it was; never over an entry that took its
// place meanwhile (EEXIST). Returns 0 or the errno.
int restoreFromTrash(const TrashedEntry &entry);

// The text of a .trashinfo file for the path (absolute for the home trash,
// relative to the top folder for a top-folder trash), its date as given.
QByteArray trashInfo(const QByteArray &pathAsStored, const QDateTime &deletedAt);

} // namespace moviecat
