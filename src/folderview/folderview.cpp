#include "folderview/folderview.h"

#include "disk/operationrunner.h"
#include "disk/systemerror.h"
#include "entryops/entryactions.h"
#include "folderview/entrydelegate.h"
#include "folderview/entryicons.h"
#include "folderview/foldermodel.h"
#include "folderview/shownfolder.h"
#include "folderview/viewmodes.h"
#include "movies/moviedataloader.h"
#include "ui/filenames.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QStackedLayout>
#include <QTreeView>
#include <cerrno>

namespace moviecat {

namespace {

QString cleanAbsolute(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QString plain = QDir::fromNativeSeparators(path);
    // Plain string work: QDir::isAbsolutePath and cleanPath touch no disk.
    if (QDir::isAbsolutePath(plain))
        return QDir::cleanPath(plain);
    return QDir::cleanPath(joinPath(QDir::currentPath(), plain));
}

} // namespace

FolderView::FolderView(QWidget *parent) : QWidget(parent)
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    m_shown = new ShownFolder(this);
    m_model = m_shown->model();
    connect(m_shown, &ShownFolder::stateChanged, this, &FolderView::showListingState);

    m_loader = new MovieDataLoader(this);
    connect(m_loader, &MovieDataLoader::infoChanged, this, &FolderView::infoChanged);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FolderView::rowsArrived);
    m_icons = new EntryIcons(m_loader, this);
    const qreal dpr = qGuiApp->devicePixelRatio();
    m_icons->setPosterBox(QSize(largeIconSize, largeIconSize) * dpr, dpr);
    m_icons->setOnScreenCheck([this](const QString &name) { return isOnScreen(name); });
    m_model->setIcons(m_icons);
    connect(m_icons, &EntryIcons::iconChanged, m_model, &FolderModel::iconChanged);

    createViews();
    createActions();
    setViewMode(ViewMode::LargeIcons);
}

void FolderView::createViews()
{
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("iconView"));
    setUpInnerView(m_list);
    m_list->setModel(m_model);
    m_delegate =
        new EntryDelegate([this](const QModelIndex &index) { entryPainted(index); }, m_list);
    m_list->setItemDelegate(m_delegate);

    m_details = new QTreeView(this);
    m_details->setObjectName(QStringLiteral("detailsView"));
    setUpInnerView(m_details);
    m_details->setModel(m_model);
    m_detailsDelegate =
        new EntryDelegate([this](const QModelIndex &index) { entryPainted(index); }, m_details);
    m_details->setItemDelegate(m_detailsDelegate);
    setUpDetailsView(m_details, m_list);

    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_details);

    m_stateLine = new QLabel(this);
    m_stateLine->setObjectName(QStringLiteral("listingState"));
    // Pale yellow, as a notice bar, whatever palette the window hands down.
    m_stateLine->setStyleSheet(
        QStringLiteral("QLabel { background: #ffeeb0; color: black; padding: 3px 6px; "
                       "border-top: 1px solid #d8c878; }"));
    m_stateLine->hide();

    connect(m_list, &QAbstractItemView::activated, this, &FolderView::openEntry);
    connect(m_details, &QAbstractItemView::activated, this, &FolderView::openEntry);
}

// What the entry actions may see and do of the shown folder.
void FolderView::createActions()
{
    EntryAccess access;
    access.folder = [this] {
        return m_path;
    };
    access.name = [this](int row) {
        return m_model->name(row);
    };
    access.kind = [this](int row) {
        return m_model->kind(row);
    };
    access.rowOf = [this](const QString &name) {
        return m_model->rowOf(name);
    };
    access.open = [this](const QModelIndex &index) {
        openEntry(index);
    };
    access.refresh = [this] {
        setPath(m_path);
    };
    // A local folder's watch reports our own changes too; a share's folder is read again.
    access.changed = [this](const QStringList &) {
        m_actions->runner()->run(
            [folder = m_path] { return systemFolderLister()->sendsChangeNotices(folder); },
            [this, folder = m_path](bool notices) {
                if (!notices && folder == m_path)
                    setPath(m_path);
            });
    };
    m_actions = new EntryActions(this, {m_list, m_details}, std::move(access));
    connect(m_actions, &EntryActions::problem, this, &FolderView::problem);
    connect(m_actions, &EntryActions::backRequested, this, &FolderView::backRequested);
}

FolderView::~FolderView()
{
    // Views before the model they show, and the model before its icons.
    delete m_details;
    delete m_list;
    delete m_shown;
    delete m_icons;
    delete m_loader;
}

void FolderView::setViewMode(ViewMode mode)
{
    m_mode = mode;
    m_icons->setPostersShown(mode == ViewMode::LargeIcons || mode == ViewMode::SmallIcons);
    setListMode(m_list, m_delegate, mode);
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
    m_newNames.clear();
    m_loader->setHeld(!m_path.isEmpty());
    // Drops the posters and .nfo files still waiting for the old folder.
    m_icons->setFolder(m_path);
    // The model drops the old rows, and with them the selection: Enter must
    // not open the previous folder's entry.
    m_shown->setFolder(m_path);
    m_list->scrollToTop();
    m_details->scrollToTop();
}

QString FolderView::path() const
{
    return QDir::toNativeSeparators(m_path);
}

bool FolderView::isLoadingPosters() const
{
    return m_icons->isLoadingPosters();
}

void FolderView::showListingState()
{
    // Posters and .nfo files are read once the names are in: on a share their
    // calls would hold the listing up.
    m_loader->setHeld(m_shown->state() == ShownFolder::State::Reading);
    const QString shown = QDir::toNativeSeparators(FileNames::readable(m_path));
    QString text;
    switch (m_shown->state()) {
    case ShownFolder::State::Reading:
        text = tr("正在读取文件夹……");
        break;
    case ShownFolder::State::NotAnswering:
        text = tr("文件夹没有响应：%1").arg(shown);
        break;
    case ShownFolder::State::Failed:
        switch (m_shown->failure()) {
        case ENOENT:
            text = tr("文件夹不存在：%1").arg(shown);
            break;
        case ENOTDIR:
            text = tr("不是文件夹：%1").arg(shown);
            break;
        case EACCES:
        case EPERM:
            text = tr("没有读取此文件夹的权限：%1").arg(shown);
            break;
        default:
            text = tr("无法读取文件夹：%1（%2）").arg(shown, systemErrorText(m_shown->failure()));
            break;
        }
        break;
    case ShownFolder::State::NoFolder:
    case ShownFolder::State::Listed:
    case ShownFolder::State::Complete:
        break;
    }
    m_stateLine->setText(text);
    m_stateLine->setVisible(!text.isEmpty());
    if (!text.isEmpty()) {
        placeStateLine();
        m_stateLine->raise();
    }
}

void FolderView::placeStateLine()
{
    const int height = m_stateLine->sizeHint().height();
    m_stateLine->setGeometry(0, this->height() - height, width(), height);
}

void FolderView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeStateLine();
}

bool FolderView::isOnScreen(const QString &name) const
{
    const int row = m_model->rowOf(name);
    if (row < 0 || !m_list->isVisible())
        return false;
    return m_list->viewport()->rect().intersects(m_list->visualRect(m_model->index(row, 0)));
}

void FolderView::entryPainted(const QModelIndex &index)
{
    const QString name = m_model->name(index.row());
    m_icons->painting(name, m_model->kind(index.row()));
    askForInfo(name, true);
}

void FolderView::rowsArrived(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    // Asked once the model has finished taking the batch in.
    if (m_newNames.isEmpty())
        QMetaObject::invokeMethod(this, &FolderView::askForNewRowsInfo, Qt::QueuedConnection);
    for (int row = first; row <= last; ++row)
        m_newNames << m_model->name(row);
}

void FolderView::askForNewRowsInfo()
{
    const QStringList names = std::exchange(m_newNames, {});
    // Should a .nfo come in after its video, the video is asked for again.
    const QHash<QString, QString> videoOfNfo = m_model->videosByNfo(names);
    for (const QString &name : names) {
        askForInfo(name, false);
        // Asking twice costs nothing: a queued or known entry is not queued again.
        if (const QString video = videoOfNfo.value(name); !video.isEmpty())
            askForInfo(video, false);
    }
}

// A movie folder's .nfo is found in its listing; a video's stands beside it, among
// the names shown. An entry of unknown kind may be a folder.
void FolderView::askForInfo(const QString &name, bool soon)
{
    const int row = m_model->rowOf(name);
    if (row < 0)
        return;
    const EntryKind kind = m_model->kind(row);
    const bool video = m_model->isFilm(row) && kind != EntryKind::Folder;
    const QString nfo = video ? NfoFile::besideVideo(name) : QString();
    if ((video && m_model->rowOf(nfo) < 0) || (!video && kind == EntryKind::File))
        return;
    const QString path = joinPath(m_path, name);
    const QString nfoPath = video ? joinPath(m_path, nfo) : QString();
    if (const std::shared_ptr<const MovieInfo> known = m_loader->info(path))
        m_model->setMovieInfo(name, known);
    m_loader->requestInfo(path, nfoPath, soon);
}

void FolderView::infoChanged(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (joinPath(m_path, name) == path)
        m_model->setMovieInfo(name, m_loader->info(path));
}

void FolderView::openEntry(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QString name = m_model->name(index.row());
    const EntryKind kind = m_model->kind(index.row());
    if (kind != EntryKind::Unknown) {
        openNamed(name, kind);
        return;
    }
    // A link, or a file system whose listing does not give kinds: one stat, in a
    // worker, decides.
    m_shown->whenKindKnown(name, [this, folder = m_path, name](EntryKind known) {
        if (folder == m_path)
            openNamed(name, known);
    });
}

void FolderView::openNamed(const QString &name, EntryKind kind)
{
    if (kind == EntryKind::Folder) {
        emit itemOpened(name);
        return;
    }
    if (kind != EntryKind::File)
        return; // gone meanwhile
    // A movie file plays in the desktop's own player, started as a process of
    // its own, handed the file's own bytes; a program is never run.
    m_actions->openFile(m_shown->pathOf(name));
}

} // namespace moviecat
