#include "folderview/entryactions.h"

#include "folderview/desktopactions.h"
#include "folderview/operationrunner.h"
#include "folderview/propertiesbox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat {

namespace {

// How long the line about trashed entries stays.
constexpr int trashLineMs = 15000;

// Whether opening the file would run a program: a desktop entry, or a file
// marked executable that starts as a program does (ELF or "#!"). Movies on
// disks mounted from Windows often carry the executable mark; they are not
// asked about.
bool runsAProgram(const QByteArray &path)
{
    if (path.endsWith(".desktop"))
        return true;
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !(info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)))
        return false;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return true; // marked executable and unreadable: better asked than run
    char head[4] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    return (n >= 4 && std::memcmp(head,
                                  "\x7f"
                                  "ELF",
                                  4) == 0) ||
           (n >= 2 && head[0] == '#' && head[1] == '!');
}

QString joinPath(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// A question beside the window, never blocking it: one action and 取消. Returns the
// action's button.
QPushButton *askBeside(QWidget *parent, const QString &name, const QString &title,
                       const QString &text, const QString &action, bool actionByDefault)
{
    auto *question =
        new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    question->setObjectName(name);
    question->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *act = question->addButton(action, QMessageBox::AcceptRole);
    QPushButton *cancel = question->addButton(QObject::tr("取消"), QMessageBox::RejectRole);
    question->setDefaultButton(actionByDefault ? act : cancel);
    question->setEscapeButton(cancel);
    question->open();
    return act;
}

QString listOfNames(const QStringList &names)
{
    if (names.size() == 1)
        return names.first();
    return QObject::tr("%1 等 %2 项").arg(names.first()).arg(names.size());
}

} // namespace

EntryActions::EntryActions(QWidget *host, const QList<QAbstractItemView *> &views,
                           EntryAccess access)
    : QObject(host), m_host(host), m_views(views), m_access(std::move(access)),
      m_runner(new OperationRunner(this)), m_desktop(new DesktopActions(host, m_runner))
{
    connect(m_desktop, &DesktopActions::problem, this, &EntryActions::problem);
    connect(m_runner, &OperationRunner::waitingChanged, this, &EntryActions::showWaiting);

    auto makeLine = [host](const QString &name) {
        auto *line = new QLabel(host);
        line->setObjectName(name);
        line->setStyleSheet(
            QStringLiteral("QLabel { background: #ffeeb0; color: black; padding: 3px 6px; "
                           "border-top: 1px solid #d8c878; }"));
        line->hide();
        return line;
    };
    m_waitingLine = makeLine(QStringLiteral("operationState"));
    m_trashLine = makeLine(QStringLiteral("trashNotice"));
    m_trashLine->setTextFormat(Qt::RichText);
    m_trashLine->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                         Qt::LinksAccessibleByKeyboard);
    connect(m_trashLine, &QLabel::linkActivated, this, &EntryActions::undoTrash);
    m_trashLineTimer.setSingleShot(true);
    m_trashLineTimer.setInterval(trashLineMs);
    connect(&m_trashLineTimer, &QTimer::timeout, m_trashLine, &QWidget::hide);

    host->installEventFilter(this);
    for (QAbstractItemView *view : m_views) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        // Dragging is started here, with the paths; nothing is dropped in.
        view->setDragEnabled(false);
        view->setAcceptDrops(false);
        QAbstractItemModel *model = view->model();
        if (view == m_views.first() && model) {
            connect(model, &QAbstractItemModel::rowsInserted, this, &EntryActions::trySelect);
            connect(model, &QAbstractItemModel::layoutChanged, this, &EntryActions::trySelect);
            connect(model, &QAbstractItemModel::modelReset, this, &EntryActions::trySelect);
            // An editor left open over another folder's entries would mislead.
            connect(model, &QAbstractItemModel::modelReset, this, [this] {
                if (m_editor && m_editedFolder != m_access.folder())
                    finishRename(false);
            });
        }
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

QString EntryActions::systemReason(int error) const
{
    return QString::fromLocal8Bit(strerror(error));
}

bool EntryActions::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host) {
        if (event->type() == QEvent::Resize)
            placeNotices();
        return false;
    }
    if (watched == m_editor) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                finishRename(true);
                return true;
            }
            if (key == Qt::Key_Escape) {
                finishRename(false);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            // Only Enter renames: a click elsewhere never changes a name by accident.
            finishRename(false);
        }
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
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
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
        undoTrash();
        return true;
    }
    if (key == Qt::Key_F2 && mods == Qt::NoModifier) {
        startRename(view);
        return true;
    }
    if (key == Qt::Key_Delete && mods == Qt::NoModifier) {
        trashSelected();
        return true;
    }
    if (key == Qt::Key_Delete && mods == Qt::ShiftModifier) {
        deleteSelected();
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
                [this] { startRename(shownView()); });
    }
    menu->addSeparator();
    connect(add(QStringLiteral("trashAction"), tr("移到回收站")), &QAction::triggered, this,
            &EntryActions::trashSelected);
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

void EntryActions::startRename(QAbstractItemView *view)
{
    const QStringList names = selectedNames();
    if (names.size() != 1)
        return;
    const int row = m_access.rowOf(names.first());
    if (row < 0)
        return;
    if (m_editor)
        finishRename(false);
    const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
    view->scrollTo(index);
    m_editedName = names.first();
    m_editedFolder = m_access.folder();
    auto *editor = new QLineEdit(view->viewport());
    editor->setObjectName(QStringLiteral("renameEditor"));
    editor->setAccessibleName(tr("新名称"));
    editor->setText(m_editedName);
    // The name without its ending, as file managers select it.
    const qsizetype dot = m_editedName.lastIndexOf(QLatin1Char('.'));
    if (m_access.kind(row) != EntryKind::Folder && dot > 0)
        editor->setSelection(0, int(dot));
    else
        editor->selectAll();
    QRect rect = view->visualRect(index);
    const auto *list = qobject_cast<QListView *>(view);
    const QSize icon = view->iconSize();
    const int height = editor->sizeHint().height();
    if (list && list->viewMode() == QListView::IconMode)
        rect = QRect(rect.left(), rect.top() + icon.height() + 2, rect.width(), height);
    else
        rect = QRect(rect.left() + icon.width() + 4, rect.top(),
                     qMax(rect.width() - icon.width() - 4, 160), height);
    editor->setGeometry(rect.left(), rect.top(), qMax(rect.width(), 120), height);
    editor->installEventFilter(this);
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
    m_editor = editor;
}

void EntryActions::finishRename(bool accept)
{
    if (!m_editor)
        return;
    QLineEdit *editor = m_editor;
    m_editor = nullptr;
    const QString newName = editor->text();
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    shownView()->setFocus(Qt::OtherFocusReason);
    const QString folder = m_editedFolder;
    const QString oldName = m_editedName;
    if (!accept || folder != m_access.folder())
        return;
    switch (checkNewName(oldName, newName)) {
    case NameRefusal::Unchanged:
        return;
    case NameRefusal::Empty:
        emit problem(tr("名称不能为空。"));
        return;
    case NameRefusal::Slash:
        emit problem(tr("名称中不能有“/”：\n%1").arg(newName));
        return;
    case NameRefusal::Reserved:
        emit problem(tr("不能用这个名称：\n%1").arg(newName));
        return;
    case NameRefusal::None:
        break;
    }
    const QString from = pathOf(oldName);
    const QString to = pathOf(newName);
    m_runner->run(
        [from = nameBytes(from), to = nameBytes(to)] { return renameNoReplace(from, to); },
        [this, folder, oldName, newName](int error) {
            if (error == EEXIST) {
                emit problem(tr("已有名为“%1”的项目，没有重命名。").arg(newName));
            } else if (error) {
                emit problem(
                    tr("无法将“%1”重命名为“%2”：%3").arg(oldName, newName, systemReason(error)));
            } else if (folder == m_access.folder()) {
                m_access.changed({oldName, newName});
                selectWhenShown(folder, {newName});
            }
        });
}

void EntryActions::trashSelected()
{
    const QStringList names = selectedNames();
    if (names.isEmpty())
        return;
    const QString folder = m_access.folder();
    QList<QByteArray> paths;
    for (const QString &name : names)
        paths << nameBytes(pathOf(name));
    m_runner->run(
        [paths] {
            std::vector<TrashResult> results;
            for (const QByteArray &path : paths) {
                results.push_back(moveToTrash(path));
                // No trash for one means none for the rest of the folder.
                if (results.back().outcome == TrashResult::Outcome::NoTrash)
                    break;
            }
            return results;
        },
        [this, folder, names](std::vector<TrashResult> results) {
            std::vector<TrashedEntry> trashed;
            QStringList trashedNames;
            QStringList failures;
            for (size_t i = 0; i < results.size(); ++i) {
                const TrashResult &result = results[i];
                switch (result.outcome) {
                case TrashResult::Outcome::Trashed:
                    trashed.push_back(result.entry);
                    trashedNames << names[qsizetype(i)];
                    break;
                case TrashResult::Outcome::NoTrash:
                    emit problem(tr("这里没有回收站，“%1”没有删除。\n%2\n（%3）")
                                     .arg(names[qsizetype(i)], QDir::toNativeSeparators(folder),
                                          systemReason(result.error)));
                    break;
                case TrashResult::Outcome::Failed:
                    failures << tr("%1（%2）").arg(names[qsizetype(i)], systemReason(result.error));
                    break;
                }
            }
            if (!failures.isEmpty())
                emit problem(tr("无法移到回收站：\n%1").arg(failures.join(QLatin1Char('\n'))));
            if (trashed.empty())
                return;
            m_lastTrashed = std::move(trashed);
            if (folder == m_access.folder())
                m_access.changed(trashedNames);
            showTrashed(trashedNames);
        });
}

void EntryActions::undoTrash()
{
    if (m_lastTrashed.empty())
        return;
    const std::vector<TrashedEntry> entries = std::exchange(m_lastTrashed, {});
    m_trashLine->hide();
    m_runner->run(
        [entries] {
            std::vector<int> errors;
            for (const TrashedEntry &entry : entries)
                errors.push_back(restoreFromTrash(entry));
            return errors;
        },
        [this, entries](std::vector<int> errors) {
            const QString folder = m_access.folder();
            const QByteArray shown = nameBytes(folder) + '/';
            QStringList restored;
            QStringList failures;
            for (size_t i = 0; i < entries.size(); ++i) {
                const QByteArray &original = entries[i].original;
                const QString name = nameText(original.mid(original.lastIndexOf('/') + 1));
                if (errors[i] == 0 && original.startsWith(shown) &&
                    original.lastIndexOf('/') == shown.size() - 1)
                    restored << name;
                else if (errors[i] == EEXIST)
                    failures << tr("%1（原处已有同名的项目）").arg(nameText(original));
                else if (errors[i])
                    failures << tr("%1（%2）").arg(nameText(original), systemReason(errors[i]));
            }
            if (!failures.isEmpty())
                emit problem(tr("无法放回原处：\n%1").arg(failures.join(QLatin1Char('\n'))));
            if (!restored.isEmpty()) {
                m_access.changed(restored);
                selectWhenShown(folder, restored);
            }
        });
}

void EntryActions::deleteSelected()
{
    const QStringList names = selectedNames();
    if (names.isEmpty())
        return;
    const QString folder = m_access.folder();
    QPushButton *remove = askBeside(
        m_host, QStringLiteral("deleteQuestion"), tr("永久删除"),
        names.size() == 1 ? tr("要永久删除“%1”吗？\n删除后无法恢复。").arg(names.first())
                          : tr("要永久删除这 %1 个项目吗？\n删除后无法恢复。").arg(names.size()),
        tr("永久删除"), false);
    remove->setObjectName(QStringLiteral("deleteButton"));
    connect(
        remove, &QPushButton::clicked, this, [this, folder, names] {
            QList<QByteArray> paths;
            for (const QString &name : names)
                paths << nameBytes(joinPath(folder, name));
            m_runner->run(
                [paths] {
                    std::vector<int> errors;
                    for (const QByteArray &path : paths)
                        errors.push_back(deleteForGood(path));
                    return errors;
                },
                [this, folder, names](std::vector<int> errors) {
                    QStringList failures;
                    for (size_t i = 0; i < errors.size(); ++i) {
                        if (errors[i])
                            failures
                                << tr("%1（%2）").arg(names[qsizetype(i)], systemReason(errors[i]));
                    }
                    if (!failures.isEmpty())
                        emit problem(tr("无法删除：\n%1").arg(failures.join(QLatin1Char('\n'))));
                    if (folder == m_access.folder())
                        m_access.changed(names);
                });
        });
}

void EntryActions::showProperties(const QString &name)
{
    auto *box = new PropertiesBox(pathOf(name), m_host->window());
    box->show();
}

void EntryActions::openFile(const QString &path)
{
    m_runner->run(
        [bytes = nameBytes(path)] { return runsAProgram(bytes); },
        [this, path](bool program) {
            if (program) {
                askBeforeRunning(path);
            } else if (!QDesktopServices::openUrl(localFileUrl(path))) {
                emit problem(
                    tr("无法用默认程序打开文件：\n%1").arg(QDir::toNativeSeparators(path)));
            }
        });
}

void EntryActions::askBeforeRunning(const QString &path)
{
    QPushButton *folder =
        askBeside(m_host, QStringLiteral("executableQuestion"), tr("可执行文件"),
                  tr("这是一个可执行文件……\n%1\n\n打开它就会运行其中的程序。moviecat 不运行它，"
                     "可以在文件管理器中打开它所在的文件夹。")
                      .arg(QDir::toNativeSeparators(path)),
                  tr("打开所在文件夹"), true);
    connect(folder, &QPushButton::clicked, this, [this, path] { m_desktop->showItems({path}); });
}

void EntryActions::selectWhenShown(const QString &folder, const QStringList &names)
{
    m_selectFolder = folder;
    m_toSelect = names;
    trySelect();
}

void EntryActions::trySelect()
{
    if (m_toSelect.isEmpty())
        return;
    if (m_selectFolder != m_access.folder()) {
        m_toSelect.clear();
        return;
    }
    QList<int> rows;
    for (const QString &name : std::as_const(m_toSelect)) {
        const int row = m_access.rowOf(name);
        if (row < 0)
            return; // not all in yet
        rows << row;
    }
    m_toSelect.clear();
    QAbstractItemView *view = shownView();
    QItemSelectionModel *selection = view->selectionModel();
    const QModelIndex first = view->model()->index(rows.first(), 0, view->rootIndex());
    selection->setCurrentIndex(first,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (int row : std::as_const(rows))
        selection->select(view->model()->index(row, 0, view->rootIndex()),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->scrollTo(first);
}

void EntryActions::showWaiting()
{
    switch (m_runner->waiting()) {
    case OperationRunner::Waiting::None:
        m_waitingLine->hide();
        break;
    case OperationRunner::Waiting::Working:
        m_waitingLine->setText(tr("正在处理……"));
        m_waitingLine->show();
        break;
    case OperationRunner::Waiting::NotAnswering:
        m_waitingLine->setText(
            tr("文件夹没有响应：%1").arg(QDir::toNativeSeparators(m_access.folder())));
        m_waitingLine->show();
        break;
    }
    placeNotices();
}

void EntryActions::showTrashed(const QStringList &names)
{
    m_trashLine->setText(tr("已移到回收站：%1").arg(listOfNames(names).toHtmlEscaped()) +
                         QStringLiteral("&nbsp;&nbsp;<a href=\"undo\">%1</a>").arg(tr("撤销")));
    m_trashLine->setAccessibleName(tr("已移到回收站：%1").arg(listOfNames(names)));
    m_trashLine->show();
    m_trashLineTimer.start();
    placeNotices();
}

void EntryActions::placeNotices()
{
    // From the bottom up, above the view's own line about the listing.
    int bottom = m_host->height();
    if (const auto *listing = m_host->findChild<QLabel *>(QStringLiteral("listingState"));
        listing && listing->isVisible())
        bottom = listing->geometry().top();
    for (QLabel *line : {m_waitingLine, m_trashLine}) {
        if (!line->isVisible())
            continue;
        const int height = line->sizeHint().height();
        line->setGeometry(0, bottom - height, m_host->width(), height);
        line->raise();
        bottom -= height;
    }
}

} // namespace moviecat
