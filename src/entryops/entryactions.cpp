#include "entryops/entryactions.h"

#include "disk/operationrunner.h"
#include "entryops/desktopactions.h"
#include "entryops/propertiesbox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat {

EntryActions::EntryActions(QWidget *host, const QList<QAbstractItemView *> &views,
                           EntryAccess access)
    : QObject(host), m_host(host), m_views(views), m_access(std::move(access)),
      m_runner(new OperationRunner(this)), m_desktop(new DesktopActions(host, m_runner)),
      m_changes(new EntryChanges(
          host, [this] { return shownView(); }, m_runner, m_access))
{
    connect(m_desktop, &DesktopActions::problem, this, &EntryActions::problem);
    connect(m_changes, &EntryChanges::problem, this, &EntryActions::problem);
    host->installEventFilter(this);
    for (QAbstractItemView *view : m_views) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        // Dragging is started here, with the paths; nothing is dropped in.
        view->setDragEnabled(false);
        view->setAcceptDrops(false);
    }
}

EntryActions::~EntryActions() = default;

QAbstractItemView *EntryActions::viewOf(QObject *object) const
{
    for (QAbstractItemView *view : m_views) {
        if (object == view || object == view->viewport())
            return view;
    }
    return nullptr;
}

QAbstractItemView *EntryActions::shownView() const
{
    for (QAbstractItemView *view : m_views) {
        if (view->isVisibleTo(m_host))
            return view;
    }
    return m_views.first();
}

std::vector<int> EntryActions::selectedRows() const
{
    std::vector<int> rows;
    const QItemSelectionModel *selection = shownView()->selectionModel();
    if (!selection)
        return rows;
    for (const QModelIndex &index : selection->selectedIndexes()) {
        if (std::find(rows.begin(), rows.end(), index.row()) == rows.end())
            rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList EntryActions::selectedNames() const
{
    QStringList names;
    for (int row : selectedRows())
        names << m_access.name(row);
    return names;
}

QString EntryActions::pathOf(const QString &name) const
{
    return joinPath(m_access.folder(), name);
}

bool EntryActions::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host) {
        if (event->type() == QEvent::Resize)
            m_changes->placeLines();
        return false;
    }
    QAbstractItemView *view = viewOf(watched);
    if (!view)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        return watched == view && keyPressed(view, static_cast<QKeyEvent *>(event));
    case QEvent::ContextMenu: {
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        const bool keyboard = menuEvent->reason() == QContextMenuEvent::Keyboard;
        QPoint at = menuEvent->pos();
        if (watched == view)
            at = view->viewport()->mapFrom(view, at);
        showMenu(view, at, keyboard);
        return true;
    }
    case QEvent::MouseButtonPress:
        return pressed(view, watched, static_cast<QMouseEvent *>(event));
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_pressed.isValid() || !(mouse->buttons() & Qt::LeftButton))
            return false;
        if ((mouse->position().toPoint() - m_pressAt).manhattanLength() <
            QApplication::startDragDistance())
            return m_pressKeptSelection;
        return startDrag(view);
    }
    case QEvent::MouseButtonRelease:
        if (m_pressKeptSelection && m_pressed.isValid()) {
            view->selectionModel()->setCurrentIndex(m_pressed, QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
            m_pressed = QPersistentModelIndex();
            m_pressKeptSelection = false;
            return true;
        }
        m_pressed = QPersistentModelIndex();
        return false;
    default:
        return false;
    }
}

// A left press on an entry may start a drag; true where the press is kept from the view.
bool EntryActions::pressed(QAbstractItemView *view, QObject *watched, QMouseEvent *mouse)
{
    m_pressed = QPersistentModelIndex();
    m_pressKeptSelection = false;
    if (mouse->button() != Qt::LeftButton || watched != view->viewport())
        return false;
    const QModelIndex index = view->indexAt(mouse->position().toPoint());
    if (!index.isValid())
        return false;
    m_pressed = index;
    m_pressAt = mouse->position().toPoint();
    // A press on one of several selected entries may start dragging them
    // all: the selection stays until the button comes up without a drag.
    if (mouse->modifiers() == Qt::NoModifier && selectedRows().size() > 1 &&
        view->selectionModel()->isSelected(index)) {
        m_pressKeptSelection = true;
        view->setFocus(Qt::MouseFocusReason);
        return true;
    }
    return false;
}

bool EntryActions::keyPressed(QAbstractItemView *view, QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods =
        event->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = event->key();
    if (event->matches(QKeySequence::Copy)) {
        QStringList paths;
        for (const QString &name : selectedNames())
            paths << pathOf(name);
        if (!paths.isEmpty())
            copyPaths(paths);
        return true;
    }
    if (event->matches(QKeySequence::Undo)) {
        m_changes->undoTrash();
        return true;
    }
    if (key == Qt::Key_F2 && mods == Qt::NoModifier) {
        rename(view);
        return true;
    }
    if (key == Qt::Key_Delete && mods == Qt::NoModifier) {
        m_changes->trash(selectedNames());
        return true;
    }
    if (key == Qt::Key_Delete && mods == Qt::ShiftModifier) {
        m_changes->deleteForGood(selectedNames());
        return true;
    }
    if ((key == Qt::Key_Backspace && mods == Qt::NoModifier) ||
        (key == Qt::Key_Left && mods == Qt::AltModifier)) {
        emit backRequested();
        return true;
    }
    if (key == Qt::Key_F5 && mods == Qt::NoModifier) {
        m_access.refresh();
        return true;
    }
    if (key == Qt::Key_F10 && mods == Qt::ShiftModifier) {
        showMenu(view, {}, true);
        return true;
    }
    if ((mods & ~Qt::ShiftModifier) == Qt::NoModifier && !event->text().isEmpty() &&
        event->text().at(0).isPrint())
        return typeAhead(view, event->text());
    return false;
}

bool EntryActions::typeAhead(QAbstractItemView *view, const QString &text)
{
    if (text == QLatin1String(" ") && m_typed.isEmpty())
        return false; // space keeps its meaning for the view
    if (!m_lastTyped.isValid() || m_lastTyped.elapsed() > QApplication::keyboardInputInterval())
        m_typed.clear();
    m_lastTyped.start();
    m_typed += text;
    QAbstractItemModel *model = view->model();
    const int rows = model->rowCount(view->rootIndex());
    // The same letter again moves on to the next entry starting with it.
    const bool sameLetter = m_typed.size() > 1 && m_typed.count(m_typed.at(0)) == m_typed.size();
    const QString wanted = sameLetter ? m_typed.left(1) : m_typed;
    int start = 0;
    if (sameLetter && view->currentIndex().isValid())
        start = view->currentIndex().row() + 1;
    for (int i = 0; i < rows; ++i) {
        const int row = (start + i) % rows;
        const QModelIndex index = model->index(row, 0, view->rootIndex());
        // The name as the user reads it, in the view's (natural) order.
        if (index.data(Qt::DisplayRole).toString().startsWith(wanted, Qt::CaseInsensitive)) {
            view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
            view->scrollTo(index);
            break;
        }
    }
    return true;
}

void EntryActions::showMenu(QAbstractItemView *view, QPoint at, bool fromKeyboard)
{
    QItemSelectionModel *selection = view->selectionModel();
    if (fromKeyboard) {
        const QModelIndex current = view->currentIndex();
        at = current.isValid() && selection->isSelected(current)
                 ? view->visualRect(current).center()
                 : QPoint(8, 8);
    } else {
        const QModelIndex index = view->indexAt(at);
        if (!index.isValid())
            selection->clearSelection();
        else if (!selection->isSelected(index))
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    }
    auto *menu = new QMenu(m_host);
    menu->setObjectName(QStringLiteral("entryMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QStringList names = selectedNames();
    if (names.isEmpty())
        fillFolderMenu(menu);
    else
        fillEntryMenu(menu, names);
    menu->popup(view->viewport()->mapToGlobal(at));
}

void EntryActions::fillEntryMenu(QMenu *menu, const QStringList &names)
{
    QStringList paths;
    for (const QString &name : names)
        paths << pathOf(name);
    auto add = [menu](const QString &name, const QString &text) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        return action;
    };
    if (names.size() == 1) {
        const QString name = names.first();
        const int row = m_access.rowOf(name);
        connect(add(QStringLiteral("openAction"), tr("打开")), &QAction::triggered, this,
                [this, name] {
                    const int at = m_access.rowOf(name);
                    if (at >= 0)
                        m_access.open(shownView()->model()->index(at, 0));
                });
        QAction *openWith = add(QStringLiteral("openWithAction"), tr("打开方式…"));
        // Folders are opened here; the chooser is for files.
        openWith->setEnabled(row >= 0 && m_access.kind(row) != EntryKind::Folder);
        connect(openWith, &QAction::triggered, this,
                [this, path = paths.first()] { m_desktop->openWith(path); });
    }
    connect(add(QStringLiteral("showInFileManagerAction"), tr("在文件管理器中显示")),
            &QAction::triggered, this, [this, paths] { m_desktop->showItems(paths); });
    connect(add(QStringLiteral("copyPathAction"), tr("复制路径")), &QAction::triggered, this,
            [this, paths] { copyPaths(paths); });
    if (names.size() == 1) {
        connect(add(QStringLiteral("renameAction"), tr("重命名")), &QAction::triggered, this,
                [this] { rename(shownView()); });
    }
    menu->addSeparator();
    connect(add(QStringLiteral("trashAction"), tr("移到回收站")), &QAction::triggered, this,
            [this, names] { m_changes->trash(names); });
    if (names.size() == 1) {
        menu->addSeparator();
        connect(add(QStringLiteral("propertiesAction"), tr("属性")), &QAction::triggered, this,
                [this, name = names.first()] { showProperties(name); });
    }
}

void EntryActions::fillFolderMenu(QMenu *menu)
{
    const QString folder = m_access.folder();
    QAction *refresh = menu->addAction(tr("刷新"));
    refresh->setObjectName(QStringLiteral("refreshAction"));
    connect(refresh, &QAction::triggered, this, [this] { m_access.refresh(); });
    QAction *show = menu->addAction(tr("在文件管理器中打开此文件夹"));
    show->setObjectName(QStringLiteral("openFolderAction"));
    connect(show, &QAction::triggered, this, [this, folder] { m_desktop->showFolder(folder); });
    QAction *copy = menu->addAction(tr("复制路径"));
    copy->setObjectName(QStringLiteral("copyPathAction"));
    connect(copy, &QAction::triggered, this, [this, folder] { copyPaths({folder}); });
    const bool shown = !folder.isEmpty();
    show->setEnabled(shown);
    copy->setEnabled(shown);
    refresh->setEnabled(shown);
}

bool EntryActions::startDrag(QAbstractItemView *view)
{
    QStringList paths;
    for (const QString &name : selectedNames())
        paths << pathOf(name);
    m_pressed = QPersistentModelIndex();
    m_pressKeptSelection = false;
    if (paths.isEmpty())
        return false;
    auto *drag = new QDrag(view);
    drag->setMimeData(entriesMimeData(paths));
    emit dragStarting(drag->mimeData());
    // Copies and links only: the collection never loses an entry by a drag.
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
    return true;
}

void EntryActions::copyPaths(const QStringList &paths)
{
    QGuiApplication::clipboard()->setMimeData(entriesMimeData(paths));
}

void EntryActions::rename(QAbstractItemView *view)
{
    const QStringList names = selectedNames();
    if (names.size() == 1)
        m_changes->rename(view, names.first());
}

void EntryActions::openFile(const QString &path)
{
    m_desktop->openFile(path);
}

void EntryActions::showProperties(const QString &name)
{
    auto *box = new PropertiesBox(pathOf(name), m_host->window());
    box->show();
}

} // namespace moviecat
