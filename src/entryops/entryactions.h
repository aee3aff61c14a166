#pragma once

#include "entryops/entrychanges.h"

#include <QElapsedTimer>
#include <QModelIndex>
#include <QObject>
#include <QPoint>
#include <QStringList>
#include <functional>
#include <vector>

class QAbstractItemView;
class QKeyEvent;
class QMouseEvent;
class QMenu;
class QMimeData;

namespace moviecat {

class DesktopActions;
class OperationRunner;

// What a user does to the entries of the folder view besides opening them:
// the context menu, copying and dragging their paths, renaming in place,
// the trash with its undo, deleting for good, their properties, the keys,
// typing a name's first letters. Every file-system call runs on workers;
// while one is pending the view says so, and the window keeps answering.
class EntryActions : public QObject {
    Q_OBJECT
public:
    EntryActions(QWidget *host, const QList<QAbstractItemView *> &views, EntryAccess access);
    ~EntryActions() override;

    // Opens a file in its application; asks first where that would run a
    // program, and by default opens its folder instead.
    void openFile(const QString &path);

    DesktopActions *desktop() const { return m_desktop; }
    OperationRunner *runner() const { return m_runner; }

signals:
    void problem(const QString &message);
    void backRequested();
    // A drag of entries is about to start with this data (the drag owns it).
    void dragStarting(const QMimeData *data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractItemView *viewOf(QObject *object) const;
    QAbstractItemView *shownView() const;
    std::vector<int> selectedRows() const;
    QStringList selectedNames() const;
    QString pathOf(const QString &name) const;

    bool keyPressed(QAbstractItemView *view, QKeyEvent *event);
    bool pressed(QAbstractItemView *view, QObject *watched, QMouseEvent *mouse);
    bool typeAhead(QAbstractItemView *view, const QString &text);
    void showMenu(QAbstractItemView *view, QPoint at, bool fromKeyboard);
    void fillEntryMenu(QMenu *menu, const QStringList &names);
    void fillFolderMenu(QMenu *menu);
    bool startDrag(QAbstractItemView *view);

    void copyPaths(const QStringList &paths);
    void rename(QAbstractItemView *view);
    void showProperties(const QString &name);

    QWidget *m_host;
    QList<QAbstractItemView *> m_views;
    EntryAccess m_access;
    OperationRunner *m_runner;
    DesktopActions *m_desktop;
    EntryChanges *m_changes;

    QString m_typed;
    QElapsedTimer m_lastTyped;

    QPoint m_pressAt;
    QPersistentModelIndex m_pressed;
    bool m_pressKeptSelection = false;
};

} // namespace moviecat
