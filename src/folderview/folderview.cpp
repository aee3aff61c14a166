#include "folderview/folderview.h"

#include "folderview/entryicons.h"
#include "folderview/foldersortmodel.h"
#include "folderview/posterloader.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QListView>
#include <QMessageBox>
#include <QStackedLayout>
#include <QTreeView>
#include <QUrl>

namespace moviecat {

namespace {

// Sizes of the classic views, in pixels. Large icons are tall enough to tell
// posters apart; their cells hold the icon and two lines of the name.
constexpr int largeIcon = 96;
constexpr int largeGridWidth = 124;
constexpr int largeGridMargin = 12;
constexpr int smallIcon = 16;
constexpr QSize smallGrid(200, 22);
constexpr int nameColumnWidth = 300;
constexpr int sizeColumnWidth = 90;
constexpr int typeColumnWidth = 140;

QString cleanAbsolute(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QString plain = QDir::fromNativeSeparators(path);
    // Plain string work: QDir::isAbsolutePath and cleanPath touch no disk.
    if (QDir::isAbsolutePath(plain))
        return QDir::cleanPath(plain);
    return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + plain);
}

void setUpCommon(QAbstractItemView *view)
{
    view->setFrameShape(QFrame::NoFrame);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setDragEnabled(false);
    // Plain white, like a file manager's list.
    view->setBackgroundRole(QPalette::Base);
}

} // namespace

FolderView::FolderView(QWidget *parent) : QWidget(parent)
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    m_files = new QFileSystemModel(this);
    // The model's own provider knows only icon themes, and reads files to tell
    // their types; this one falls back on the style's folder and file icons
    // where no theme is installed, and goes by names alone.
    m_defaultIcons = std::make_unique<EntryIconProvider>();
    m_files->setIconProvider(m_defaultIcons.get());
    // Hidden entries stay hidden, as in a file manager's default view: on Linux
    // that keeps .thumbnails, .directory and friends out of the movie folders.
    m_files->setFilter(QDir::AllDirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot);
    m_files->setReadOnly(true);
    m_sorted = new FolderSortModel(m_files, this);
    m_filmIcon = makeFilmIcon();
    m_sorted->setIconOverride([this](const QModelIndex &source) { return iconFor(source); });

    m_posters = new PosterLoader(this);
    const qreal dpr = qGuiApp->devicePixelRatio();
    m_posters->setBox(QSize(largeIcon, largeIcon) * dpr, dpr);
    m_posters->setWantedCheck([this](const QString &folder) { return isPosterOnScreen(folder); });
    connect(m_posters, &PosterLoader::posterChanged, this, &FolderView::posterChanged);

    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("iconView"));
    setUpCommon(m_list);
    m_list->setModel(m_sorted);
    m_delegate =
        new EntryDelegate([this](const QModelIndex &index) { entryPainting(index); }, m_list);
    m_list->setItemDelegate(m_delegate);

    m_details = new QTreeView(this);
    m_details->setObjectName(QStringLiteral("detailsView"));
    setUpCommon(m_details);
    m_details->setModel(m_sorted);
    // One selection for both views, so the chosen entry survives a mode change.
    QItemSelectionModel *ownSelection = m_details->selectionModel();
    m_details->setSelectionModel(m_list->selectionModel());
    delete ownSelection;
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setExpandsOnDoubleClick(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->header()->setSortIndicator(0, Qt::AscendingOrder);
    m_details->setSortingEnabled(true);
    m_details->header()->setStretchLastSection(true);
    m_details->setColumnWidth(0, nameColumnWidth);
    m_details->setColumnWidth(1, sizeColumnWidth);
    m_details->setColumnWidth(2, typeColumnWidth);
    // The icon modes show the details view's order too.
    m_sorted->sort(0, Qt::AscendingOrder);

    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_details);

    connect(m_list, &QAbstractItemView::activated, this, &FolderView::openEntry);
    connect(m_details, &QAbstractItemView::activated, this, &FolderView::openEntry);

    setViewMode(ViewMode::LargeIcons);
    applyRoot();
}

FolderView::~FolderView()
{
    // Views before the models they show, the model (and its loader thread)
    // before the icon provider it uses.
    delete m_details;
    delete m_list;
    delete m_sorted;
    delete m_files;
    delete m_posters;
}

void FolderView::setViewMode(ViewMode mode)
{
    m_mode = mode;
    m_postersShown = mode == ViewMode::LargeIcons || mode == ViewMode::SmallIcons;
    m_delegate->setItemSize(QSize());
    switch (mode) {
    case ViewMode::LargeIcons: {
        m_list->setViewMode(QListView::IconMode);
        // Once the other modes have set flow and wrapping, setViewMode() leaves them
        // alone: set them here too, or large icons come back in list mode's columns.
        m_list->setFlow(QListView::LeftToRight);
        m_list->setWrapping(true);
        m_list->setMovement(QListView::Static);
        m_list->setIconSize(QSize(largeIcon, largeIcon));
        const QSize grid(largeGridWidth,
                         largeIcon + 2 * m_list->fontMetrics().height() + largeGridMargin);
        m_list->setGridSize(grid);
        // Every cell the grid's size: 2,000 names need no measuring.
        m_delegate->setItemSize(grid);
        m_list->setWordWrap(true);
        m_list->setUniformItemSizes(false);
        break;
    }
    case ViewMode::SmallIcons:
        // Icon beside the name, rows filled left to right, like the classic
        // small-icons view (IconMode would put the name under the icon).
        m_list->setViewMode(QListView::ListMode);
        m_list->setFlow(QListView::LeftToRight);
        m_list->setWrapping(true);
        m_list->setIconSize(QSize(smallIcon, smallIcon));
        m_list->setGridSize(smallGrid);
        m_list->setWordWrap(false);
        m_list->setUniformItemSizes(false);
        break;
    case ViewMode::List:
        // Columns filled top to bottom, scrolling sideways.
        m_list->setViewMode(QListView::ListMode);
        m_list->setFlow(QListView::TopToBottom);
        m_list->setWrapping(true);
        m_list->setIconSize(QSize(smallIcon, smallIcon));
        m_list->setGridSize(QSize());
        m_list->setWordWrap(false);
        m_list->setUniformItemSizes(false);
        break;
    case ViewMode::Details:
        break;
    }
    if (mode != ViewMode::Details) {
        // setViewMode() resets these; a resize must lay the entries out again.
        m_list->setResizeMode(QListView::Adjust);
    }
    QAbstractItemView *shown = currentView();
    const bool hadFocus = m_stack->currentWidget() && m_stack->currentWidget()->hasFocus();
    m_stack->setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus)
        shown->setFocus();
}

QAbstractItemView *FolderView::currentView() const
{
    if (m_mode == ViewMode::Details)
        return m_details;
    return m_list;
}

void FolderView::setPath(const QString &path)
{
    m_path = cleanAbsolute(path);
    applyRoot();
}

void FolderView::applyRoot()
{
    // The old folder's posters still waiting are of no use now.
    m_posters->reset();
    m_posterEntries.clear();

    QModelIndex root;
    if (!m_path.isEmpty()) {
        // A few stat calls for the path's components, nothing per entry; the
        // listing itself comes from the model's thread.
        m_files->setRootPath(m_path);
        const QModelIndex source = m_files->index(m_path);
        if (source.isValid() && m_files->isDir(source)) {
            m_sorted->setShowingFolder(true);
            root = m_sorted->mapFromSource(source);
        }
    }
    if (!root.isValid())
        m_sorted->setShowingFolder(false);

    // The previous folder's current entry must not be opened again by Enter.
    m_list->selectionModel()->clear();
    m_list->setRootIndex(root);
    m_details->setRootIndex(root);
    m_list->scrollToTop();
    m_details->scrollToTop();
}

QString FolderView::path() const
{
    return QDir::toNativeSeparators(m_path);
}

void FolderView::setIconProvider(QAbstractFileIconProvider *provider)
{
    m_files->setIconProvider(provider);
}

bool FolderView::isLoadingPosters() const
{
    return m_posters->isBusy();
}

QIcon FolderView::iconFor(const QModelIndex &source) const
{
    // Only names and what the model already knows: this runs for every entry
    // the views lay out or paint.
    if (m_files->isDir(source)) {
        if (!m_postersShown)
            return {};
        return m_posters->poster(m_files->filePath(source));
    }
    if (isVideoFileName(m_files->fileName(source)))
        return m_filmIcon;
    return {};
}

void FolderView::entryPainting(const QModelIndex &index)
{
    if (!m_postersShown)
        return;
    const QModelIndex source = m_sorted->mapToSource(index);
    if (!source.isValid() || !m_files->isDir(source))
        return;
    const QString folder = m_files->filePath(source);
    if (m_posters->request(folder))
        m_posterEntries.insert(folder, QPersistentModelIndex(source));
}

bool FolderView::isPosterOnScreen(const QString &folder)
{
    bool onScreen = false;
    const auto entry = m_posterEntries.constFind(folder);
    if (entry != m_posterEntries.constEnd() && entry->isValid() && m_postersShown &&
        m_list->isVisible()) {
        const QModelIndex index = m_sorted->mapFromSource(*entry);
        onScreen =
            index.isValid() && m_list->viewport()->rect().intersects(m_list->visualRect(index));
    }
    if (!onScreen)
        m_posterEntries.remove(folder);
    return onScreen;
}

void FolderView::posterChanged(const QString &folder)
{
    const QPersistentModelIndex source = m_posterEntries.take(folder);
    if (source.isValid())
        m_sorted->iconChanged(m_sorted->mapFromSource(source));
}

void FolderView::openEntry(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QModelIndex source = m_sorted->mapToSource(index);
    if (m_files->isDir(source)) {
        m_itemName = m_files->fileName(source);
        emit itemOpen();
        return;
    }
    // A movie file plays in the desktop's own player.
    const QString file = m_files->filePath(source);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
        QMessageBox::warning(
            this, tr("打开文件"),
            tr("无法用默认程序打开文件：\n%1").arg(QDir::toNativeSeparators(file)));
    }
}

} // namespace moviecat
