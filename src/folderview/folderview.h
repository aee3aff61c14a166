#pragma once

#include "disk/folderlister.h"
#include "folderview/viewmodes.h"

#include <QString>
#include <QWidget>

class QAbstractItemView;
class QLabel;
class QListView;
class QModelIndex;
class QStackedLayout;
class QTreeView;

namespace moviecat {

class EntryActions;
class EntryDelegate;
class EntryIcons;
class FolderModel;
class MovieDataLoader;
class ShownFolder;

// Lists the entries of one folder. It does not move between folders on its own:
// opening a folder only reports it (itemOpened), and the host writes the new
// path. The listing comes from workers (ShownFolder): the window never waits
// on a disk, and a line in the view says when a folder is still being read or
// does not answer. In the icon modes a folder holding a poster shows it as its
// icon; posters load on worker threads, those on screen first, and the plain
// folder icon shows until one arrives. Video files show a film icon. The
// details mode adds a movie's year, rating and running time from its .nfo
// (read on workers, entries on screen first) and every mode's tooltip shows them.
class FolderView : public QWidget {
    Q_OBJECT
public:
    explicit FolderView(QWidget *parent = nullptr);
    ~FolderView() override;

    void setViewMode(ViewMode mode);
    ViewMode viewMode() const { return m_mode; }

    // Shows the folder: returns at once, the entries follow as they are read.
    // A missing or unreadable folder shows an empty view (and says why in the
    // view's line); an empty path shows nothing.
    void setPath(const QString &path);
    // The folder now shown, absolute and in native form, without a trailing
    // separator except for a root ("/").
    QString path() const;

    // Posters of the entries looked at since the last setPath() are still
    // being found or decoded.
    bool isLoadingPosters() const;

signals:
    // The user opened a folder (double-click or Enter), called name.
    void itemOpened(const QString &name);
    // Something the user should hear about (a file the desktop cannot open).
    void problem(const QString &message);
    // Backspace or Alt+Left in the view.
    void backRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createViews();
    void createActions();
    void openEntry(const QModelIndex &index);
    void openNamed(const QString &name, EntryKind kind);
    QAbstractItemView *currentView() const;
    bool isOnScreen(const QString &name) const;
    void entryPainted(const QModelIndex &index);
    void rowsArrived(const QModelIndex &parent, int first, int last);
    void askForNewRowsInfo();
    void askForInfo(const QString &name, bool soon);
    void infoChanged(const QString &path);
    void showListingState();
    void placeStateLine();

    ShownFolder *m_shown = nullptr;
    FolderModel *m_model = nullptr;
    EntryIcons *m_icons = nullptr;
    // Posters and .nfo files, found in one pass over each movie folder.
    MovieDataLoader *m_loader = nullptr;
    // Names just added, whose .nfo is asked for once the batch is in.
    QStringList m_newNames;
    QStackedLayout *m_stack = nullptr;
    QLabel *m_stateLine = nullptr;
    QListView *m_list = nullptr;
    QTreeView *m_details = nullptr;
    EntryDelegate *m_delegate = nullptr;
    EntryDelegate *m_detailsDelegate = nullptr;
    EntryActions *m_actions = nullptr;
    ViewMode m_mode = ViewMode::LargeIcons;
    QString m_path; // cleaned, absolute, '/' separators
};

} // namespace moviecat
