#pragma once

#include "disk/folderlister.h"
#include "movies/nfofile.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QString>
#include <memory>
#include <optional>
#include <utility>

class QMimeDatabase;

namespace moviecat {

// One entry of a folder as the view shows it. Workers build it from the
// listing (name, kind, and what the name's ending tells); sizes and dates come
// later from stat calls.
struct FolderEntry {
    QString name; // its bytes, as FileNames carries them
    QCollatorSortKey key;
    EntryKind kind = EntryKind::Unknown;
    qint64 size = -1;
    qint64 modifiedMs = -1;
    QString type;      // the MIME type's description, for files
    QString iconName;  // the theme's icon for that type
    bool film = false; // a video file or a disc image
    QString shown;     // the name as the user reads it
    QString note;      // why it reads so, for a name that is not UTF-8
    // The year the name ends in, "Title (1995)"; a movie's .nfo says better.
    std::optional<int> nameYear;
    std::shared_ptr<const MovieInfo> movie; // from the entry's .nfo, once read
};

// What one stat call found out about the entry called `first`.
using NamedFacts = std::pair<QString, EntryFacts>;

// The order names sort in: natural ("Film 2" before "Film 10"), case-insensitive.
QCollator entryCollator();
// The same locale without the natural order, for type names.
QCollator typeCollator();

// Runs in a worker: the MIME type comes from the name's ending only, as
// reading contents would cost a round trip per file.
FolderEntry makeEntry(ListedName &&listed, const QCollator &collator, const QMimeDatabase &mimes);

} // namespace moviecat
