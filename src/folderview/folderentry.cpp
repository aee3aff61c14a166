#include "folderview/folderentry.h"

#include "ui/filenames.h"

#include <QLocale>
#include <QMimeDatabase>
#include <array>

namespace moviecat {

namespace {

QLocale collationLocale()
{
    // The "C" locale compares code points and ignores numeric mode, which would
    // put "Film 10" before "Film 2" on a machine with LANG=C.
    const QLocale system;
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

bool isFilm(const QMimeType &type)
{
    if (type.name().startsWith(QLatin1String("video/")))
        return true;
    // Films the MIME database files as applications: RealMedia (.rm, .rmvb),
    // ASF and disc images (.iso).
    static const std::array<QLatin1String, 3> others = {
        QLatin1String("application/vnd.rn-realmedia"), QLatin1String("application/vnd.ms-asf"),
        QLatin1String("application/x-cd-image")};
    for (const QLatin1String &other : others) {
        if (type.inherits(other))
            return true;
    }
    return false;
}

} // namespace

QCollator entryCollator()
{
    QCollator collator(collationLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

QCollator typeCollator()
{
    return QCollator(collationLocale());
}

FolderEntry makeEntry(ListedName &&listed, const QCollator &collator, const QMimeDatabase &mimes)
{
    // Sorted as it reads: a GBK name among the Chinese ones, not after every letter.
    QString shown = FileNames::readable(listed.name);
    QCollatorSortKey key = collator.sortKey(shown);
    FolderEntry entry{std::move(listed.name),
                      std::move(key),
                      listed.kind,
                      -1,
                      -1,
                      {},
                      {},
                      false,
                      std::move(shown),
                      {},
                      {},
                      {}};
    entry.note = FileNames::encodingNote(entry.name);
    if (entry.kind != EntryKind::Folder) {
        const QMimeType type = mimes.mimeTypeForFile(entry.name, QMimeDatabase::MatchExtension);
        entry.type = type.comment().isEmpty() ? type.name() : type.comment();
        entry.iconName = type.iconName();
        entry.film = isFilm(type);
    }
    // Only folders and films carry a film's year, a film's before its ending:
    // "Heat (1995).mkv"; "notes (2001).txt" holds no film.
    const qsizetype dot = entry.film ? entry.name.lastIndexOf(u'.') : -1;
    if (entry.kind == EntryKind::Folder || entry.film)
        entry.nameYear =
            yearFromName(QStringView(entry.name).first(dot > 0 ? dot : entry.name.size()));
    return entry;
}

} // namespace moviecat
