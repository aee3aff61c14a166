#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <functional>

class QMimeData;

namespace moviecat {

// What the folder view does to entries on disk: rename, trash and take back,
// delete for good, measure a folder. Every call here may block for ever on a
// share that stopped answering, so only workers make them. Paths are the
// exact bytes of the file system: a name that is not UTF-8 goes back to the
// disk as it came.

// Clipboard and drag data for entries given by full path: text/uri-list for
// file managers, plain text (one full path a line) for editors and terminals.
QMimeData *entriesMimeData(const QStringList &paths);

// Why a new name cannot be used, before the disk is asked.
enum class NameRefusal { None, Unchanged, Empty, Slash, Reserved };
NameRefusal checkNewName(const QString &oldName, const QString &newName);

// The folder a path is in ("/" for a top-level entry), and its last part.
QByteArray parentOf(const QByteArray &path);
QByteArray baseName(const QByteArray &path);

// Renames without ever replacing an existing entry. Returns 0 or the errno
// (EEXIST when the new name is taken).
int renameNoReplace(const QByteArray &from, const QByteArray &to);

// Removes the entry and, for a folder, everything below it, without
// following links. Returns 0 or the errno of the first failure.
int deleteForGood(const QByteArray &path);

// What the properties box shows of an entry.
struct EntryDetails {
    int error = 0;
    bool isFolder = false;
    bool isLink = false;
    qint64 size = 0;
    QDateTime modified;
    QDateTime accessed;
    QDateTime created; // invalid where the file system does not keep it
};
EntryDetails entryDetails(const QByteArray &path);

// The sum of the sizes below a folder, counted without following links.
struct ContentSize {
    qint64 bytes = 0;
    qint64 files = 0;
    qint64 folders = 0;
    int unreadable = 0; // folders that could not be read
    bool cancelled = false;
};
// progress is called now and then with the count so far.
ContentSize contentSize(const QByteArray &folder, const std::atomic_bool &cancel,
                        const std::function<void(const ContentSize &)> &progress = {});

// Whether opening the file would run a program: a desktop entry, or a file
// marked executable that starts as a program does (ELF or "#!").
bool runsAProgram(const QByteArray &path);

} // namespace moviecat
