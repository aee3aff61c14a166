#include "entryops/entrychanges.h"

#include "disk/operationrunner.h"
#include "disk/systemerror.h"
#include "entryops/renameeditor.h"

#include "ui/askbeside.h"
#include "ui/filenames.h"

#include <QAbstractItemView>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <cerrno>

namespace moviecat {

namespace {

// How long the line about trashed entries stays.
constexpr int trashLineMs = 15000;

QString listOfNames(const QStringList &names)
{
    if (names.size() == 1)
        return FileNames::readable(names.first());
    return QObject::tr("%1 等 %2 项").arg(FileNames::readable(names.first())).arg(names.size());
}

} // namespace

EntryChanges::EntryChanges(QWidget *host, std::function<QAbstractItemView *()> shownView,
                           OperationRunner *runner, const EntryAccess &access)
    : QObject(host), m_host(host), m_shownView(std::move(shownView)), m_runner(runner),
      m_access(access)
{
    connect(m_runner, &OperationRunner::waitingChanged, this, &EntryChanges::showWaiting);
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
    connect(m_trashLine, &QLabel::linkActivated, this, &EntryChanges::undoTrash);
    m_trashLineTimer.setSingleShot(true);
    m_trashLineTimer.setInterval(trashLineMs);
    connect(&m_trashLineTimer, &QTimer::timeout, m_trashLine, &QWidget::hide);

    if (QAbstractItemModel *model = m_shownView()->model()) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &EntryChanges::trySelect);
        connect(model, &QAbstractItemModel::layoutChanged, this, &EntryChanges::trySelect);
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            // An editor left open over another folder's entries would mislead.
            if (m_editor && m_editedFolder != m_access.folder())
                m_editor->finish(false);
            trySelect();
        });
    }
}

void EntryChanges::rename(QAbstractItemView *view, const QString &name)
{
    const int row = m_access.rowOf(name);
    if (row < 0)
        return;
    if (m_editor)
        m_editor->finish(false);
    const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
    view->scrollTo(index);
    m_editedView = view;
    m_editedName = name;
    m_editedFolder = m_access.folder();
    m_editor = new RenameEditor(view, index, name, m_access.kind(row) == EntryKind::Folder);
    connect(m_editor, &RenameEditor::finished, this, &EntryChanges::renamed);
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void EntryChanges::renamed(bool accepted)
{
    const QString newName = m_editor ? m_editor->text() : QString();
    m_editor = nullptr;
    if (m_editedView)
        m_editedView->setFocus(Qt::OtherFocusReason);
    const QString folder = m_editedFolder;
    const QString oldName = m_editedName;
    if (!accepted || folder != m_access.folder())
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
    m_runner->run(
        [from = FileNames::toBytes(joinPath(folder, oldName)),
         to = FileNames::toBytes(joinPath(folder, newName))] { return renameNoReplace(from, to); },
        [this, folder, oldName, newName](int error) {
            if (error == EEXIST) {
                emit problem(tr("已有名为“%1”的项目，没有重命名。").arg(newName));
            } else if (error) {
                emit problem(
                    tr("无法将“%1”重命名为“%2”：%3")
                        .arg(FileNames::readable(oldName), newName, systemErrorText(error)));
            } else if (folder == m_access.folder()) {
                m_access.changed({oldName, newName});
                selectWhenShown(folder, {newName});
            }
        });
}

void EntryChanges::trash(const QStringList &names)
{
    if (names.isEmpty())
        return;
    const QString folder = m_access.folder();
    QList<QByteArray> paths;
    for (const QString &name : names)
        paths << FileNames::toBytes(joinPath(folder, name));
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
                                     .arg(FileNames::readable(names[qsizetype(i)]),
                                          FileNames::readable(folder),
                                          systemErrorText(result.error)));
                    break;
                case TrashResult::Outcome::Failed:
                    failures << tr("%1（%2）")
                                    .arg(FileNames::readable(names[qsizetype(i)]),
                                         systemErrorText(result.error));
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

void EntryChanges::undoTrash()
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
            const QByteArray shown = FileNames::toBytes(folder) + '/';
            QStringList restored;
            QStringList failures;
            for (size_t i = 0; i < entries.size(); ++i) {
                const QByteArray &original = entries[i].original;
                const QString name =
                    FileNames::fromBytes(original.mid(original.lastIndexOf('/') + 1));
                if (errors[i] == 0 && original.startsWith(shown) &&
                    original.lastIndexOf('/') == shown.size() - 1)
                    restored << name;
                else if (errors[i] == EEXIST)
                    failures << tr("%1（原处已有同名的项目）")
                                    .arg(FileNames::readable(FileNames::fromBytes(original)));
                else if (errors[i])
                    failures << tr("%1（%2）")
                                    .arg(FileNames::readable(FileNames::fromBytes(original)),
                                         systemErrorText(errors[i]));
            }
            if (!failures.isEmpty())
                emit problem(tr("无法放回原处：\n%1").arg(failures.join(QLatin1Char('\n'))));
            if (!restored.isEmpty()) {
                m_access.changed(restored);
                selectWhenShown(folder, restored);
            }
        });
}

void EntryChanges::deleteForGood(const QStringList &names)
{
    if (names.isEmpty())
        return;
    const QString folder = m_access.folder();
    QPushButton *remove = askBeside(
        m_host, QStringLiteral("deleteQuestion"), tr("永久删除"),
        names.size() == 1
            ? tr("要永久删除“%1”吗？\n删除后无法恢复。").arg(FileNames::readable(names.first()))
            : tr("要永久删除这 %1 个项目吗？\n删除后无法恢复。").arg(names.size()),
        tr("永久删除"), false);
    remove->setObjectName(QStringLiteral("deleteButton"));
    connect(remove, &QPushButton::clicked, this, [this, folder, names] {
        QList<QByteArray> paths;
        for (const QString &name : names)
            paths << FileNames::toBytes(joinPath(folder, name));
        m_runner->run(
            [paths] {
                std::vector<int> errors;
                for (const QByteArray &path : paths)
                    errors.push_back(moviecat::deleteForGood(path));
                return errors;
            },
            [this, folder, names](std::vector<int> errors) {
                QStringList failures;
                for (size_t i = 0; i < errors.size(); ++i) {
                    if (errors[i])
                        failures << tr("%1（%2）")
                                        .arg(FileNames::readable(names[qsizetype(i)]),
                                             systemErrorText(errors[i]));
                }
                if (!failures.isEmpty())
                    emit problem(tr("无法删除：\n%1").arg(failures.join(QLatin1Char('\n'))));
                if (folder == m_access.folder())
                    m_access.changed(names);
            });
    });
}

void EntryChanges::selectWhenShown(const QString &folder, const QStringList &names)
{
    m_selectFolder = folder;
    m_toSelect = names;
    trySelect();
}

void EntryChanges::trySelect()
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
    QAbstractItemView *view = m_shownView();
    QItemSelectionModel *selection = view->selectionModel();
    const QModelIndex first = view->model()->index(rows.first(), 0, view->rootIndex());
    selection->setCurrentIndex(first,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (int row : std::as_const(rows))
        selection->select(view->model()->index(row, 0, view->rootIndex()),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->scrollTo(first);
}

void EntryChanges::showWaiting()
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
            tr("文件夹没有响应：%1").arg(FileNames::readable(m_access.folder())));
        m_waitingLine->show();
        break;
    }
    placeLines();
}

void EntryChanges::showTrashed(const QStringList &names)
{
    m_trashLine->setText(tr("已移到回收站：%1").arg(listOfNames(names).toHtmlEscaped()) +
                         QStringLiteral("&nbsp;&nbsp;<a href=\"undo\">%1</a>").arg(tr("撤销")));
    m_trashLine->setAccessibleName(tr("已移到回收站：%1").arg(listOfNames(names)));
    m_trashLine->show();
    m_trashLineTimer.start();
    placeLines();
}

void EntryChanges::placeLines()
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
