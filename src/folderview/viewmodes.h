#pragma once

#include <QtGlobal>

class QAbstractItemView;
class QListView;
class QTreeView;

namespace moviecat {

class EntryDelegate;

// How the folder view draws its entries; the 16-bit values are the ones the
// window writes.
enum class ViewMode : qint16 { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };

// The side of a large icon, in pixels: tall enough to tell posters apart.
constexpr int largeIconSize = 96;

// What both inner views share: no frame, no editing, extended selection, white.
void setUpInnerView(QAbstractItemView *view);
// The details view's columns, widths and order, sharing the list's selection so the
// chosen entry survives a mode change.
void setUpDetailsView(QTreeView *details, QListView *list);
// Lays the list out for one of the three modes it shows (not Details); the
// delegate learns the cell size where every cell has the grid's.
void setListMode(QListView *list, EntryDelegate *delegate, ViewMode mode);

} // namespace moviecat
