#pragma once

#include "disk/folderlister.h"
#include "disk/trash.h"

#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

class QAbstractItemView;
class QLabel;
class QPushButton;

namespace moviecat {

class OperationRunner;
class RenameEditor;

// What the folder view's actions need of its entries.
struct EntryAccess {
    std::function<QString()> folder; // the shown folder, absolute, '/' separators
    std::function<QString(int row)> name;
    std::function<EntryKind(int row)> kind;
    std::function<int(const QString &name)> rowOf; // -1 when not shown
    std::function<void(const QModelIndex &index)> open;
    std::function<void()> refresh;
    // Entries of the shown folder changed by our own hand: shown at once,
    // whether or not the folder is watched.
    std::function<void(const QStringList &names)> changed;
};

// The changes a user makes to the shown folder's entries: rename in place,
// trash and its undo, delete for good. Each runs on a worker; the view says
// while one is pending ("正在处理……", then that the folder does not answer),
// and a changed entry is selected again once the view shows it.
class EntryChanges : public QObject {
    Q_OBJECT
public:
    // shownView: the inner view the user sees now.
    EntryChanges(QWidget *host, std::function<QAbstractItemView *()> shownView,
                 OperationRunner *runner, const EntryAccess &access);

    void rename(QAbstractItemView *view, const QString &name);
    void trash(const QStringList &names);
    // Puts the entries trashed last back where they were.
    void undoTrash();
    // Asks, then deletes for good.
    void deleteForGood(const QStringList &names);
    // Puts the lines at the bottom of the host, after it changed size.
    void placeLines();

signals:
    void problem(const QString &message);

private:
    void renamed(bool accepted);
    // Selects the names once the folder shows all of them.
    void selectWhenShown(const QString &folder, const QStringList &names);
    void trySelect();
    void showWaiting();
    void showTrashed(const QStringList &names);

    QWidget *m_host;
    std::function<QAbstractItemView *()> m_shownView;
    OperationRunner *m_runner;
    EntryAccess m_access;
    QLabel *m_waitingLine;
    QLabel *m_trashLine;
    QTimer m_trashLineTimer;

    QPointer<RenameEditor> m_editor;
    QPointer<QAbstractItemView> m_editedView;
    QString m_editedName;
    QString m_editedFolder;

    std::vector<TrashedEntry> m_lastTrashed;

    QString m_selectFolder;
    QStringList m_toSelect;
};

} // namespace moviecat
