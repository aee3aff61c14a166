#include "folderview/viewmodes.h"

#include "folderview/entrydelegate.h"
#include "folderview/foldercolumns.h"

#include <QHeaderView>
#include <QListView>
#include <QTreeView>

namespace moviecat {

namespace {

// Sizes of the classic views, in pixels. Large icons' cells hold the icon and two
// lines of the name.
constexpr int largeGridWidth = 124;
constexpr int largeGridMargin = 12;
constexpr int smallIcon = 16;
constexpr QSize smallGrid(200, 22);
constexpr int nameColumnWidth = 300;
constexpr int sizeColumnWidth = 90;
constexpr int typeColumnWidth = 140;
constexpr int dateColumnWidth = 140;
constexpr int movieColumnWidth = 70;

} // namespace

void setUpInnerView(QAbstractItemView *view)
{
    view->setFrameShape(QFrame::NoFrame);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setDragEnabled(false);
    // Plain white, like a file manager's list.
    view->setBackgroundRole(QPalette::Base);
}

void setUpDetailsView(QTreeView *details, QListView *list)
{
    // One selection for both views, so the chosen entry survives a mode change.
    QItemSelectionModel *ownSelection = details->selectionModel();
    details->setSelectionModel(list->selectionModel());
    delete ownSelection;
    details->setRootIsDecorated(false);
    details->setItemsExpandable(false);
    details->setExpandsOnDoubleClick(false);
    details->setUniformRowHeights(true);
    details->setAllColumnsShowFocus(true);
    // The icon modes show the details view's order too: it is the model's.
    details->header()->setSortIndicator(NameColumn, Qt::AscendingOrder);
    details->setSortingEnabled(true);
    details->header()->setStretchLastSection(true);
    details->setColumnWidth(NameColumn, nameColumnWidth);
    details->setColumnWidth(SizeColumn, sizeColumnWidth);
    details->setColumnWidth(TypeColumn, typeColumnWidth);
    details->setColumnWidth(DateColumn, dateColumnWidth);
    for (const int column : {YearColumn, RatingColumn, RuntimeColumn})
        details->setColumnWidth(column, movieColumnWidth);
}

void setListMode(QListView *list, EntryDelegate *delegate, ViewMode mode)
{
    delegate->setItemSize(QSize());
    switch (mode) {
    case ViewMode::LargeIcons: {
        list->setViewMode(QListView::IconMode);
        // Once the other modes have set flow and wrapping, setViewMode() leaves them
        // alone: set them here too, or large icons come back in list mode's columns.
        list->setFlow(QListView::LeftToRight);
        list->setWrapping(true);
        list->setMovement(QListView::Static);
        list->setIconSize(QSize(largeIconSize, largeIconSize));
        const QSize grid(largeGridWidth,
                         largeIconSize + 2 * list->fontMetrics().height() + largeGridMargin);
        list->setGridSize(grid);
        // Every cell the grid's size: 2,000 names need no measuring.
        delegate->setItemSize(grid);
        list->setWordWrap(true);
        list->setUniformItemSizes(false);
        break;
    }
    case ViewMode::SmallIcons:
        // Icon beside the name, rows filled left to right, like the classic
        // small-icons view (IconMode would put the name under the icon).
        list->setViewMode(QListView::ListMode);
        list->setFlow(QListView::LeftToRight);
        list->setWrapping(true);
        list->setIconSize(QSize(smallIcon, smallIcon));
        list->setGridSize(smallGrid);
        list->setWordWrap(false);
        list->setUniformItemSizes(false);
        break;
    case ViewMode::List:
        // Columns filled top to bottom, scrolling sideways.
        list->setViewMode(QListView::ListMode);
        list->setFlow(QListView::TopToBottom);
        list->setWrapping(true);
        list->setIconSize(QSize(smallIcon, smallIcon));
        list->setGridSize(QSize());
        list->setWordWrap(false);
        list->setUniformItemSizes(false);
        break;
    case ViewMode::Details:
        break;
    }
    if (mode != ViewMode::Details) {
        // setViewMode() resets these; a resize must lay the entries out again.
        list->setResizeMode(QListView::Adjust);
    }
}

} // namespace moviecat
