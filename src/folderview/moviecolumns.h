#pragma once

#include "folderview/foldercolumns.h"
#include "folderview/folderentry.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace moviecat {

// The details view's movie columns (the Year, Rating and Running time)
// and the tooltip, from what an entry's .nfo and name say.

bool isMovieColumn(int column);
QString movieColumnTitle(int column);
// The .nfo's year, else the one the name ends in.
std::optional<int> movieYear(const FolderEntry &row);
// A movie column's value as a number, for sorting; absent when the entry has none.
std::optional<double> movieNumber(const FolderEntry &row, int column);
// What the column's cell shows ("142 分钟"); invalid when the entry has no value.
QVariant movieText(const FolderEntry &row, int column);
// Title (and original title), year, rating, running time and the plot's first
// lines, then the note if any; invalid when nothing of the movie is known.
QVariant movieToolTip(const FolderEntry &row, const QString &note);

} // namespace moviecat
