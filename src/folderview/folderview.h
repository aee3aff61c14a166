#pragma once

#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QString>
#include <QWidget>
#include <memory>

class QAbstractFileIconProvider;
class QAbstractItemView;
class QFileSystemModel;
class QListView;
class QModelIndex;
class QStackedLayout;
class QTreeView;

namespace moviecat {

class EntryDelegate;
class EntryIconProvider;
class FolderSortModel;
class PosterLoader;

// How the folder view draws its entries; the 16-bit values are the ones the
// window writes.
enum class ViewMode : qint16 { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };

// Lists the entries of one folder. It does not move between folders on its own:
// opening a folder only reports it (itemOpen), and the host writes the new path.
// Listing happens in the file system model's own thread, so a slow share never
// stalls the window. In the icon modes a folder holding a poster shows it as its
// icon; posters load on worker threads, those on screen first, and the plain
// folder icon shows until one arrives. Video files show a film icon.
class FolderView : public QWidget {
    Q_OBJECT
public:
    explicit FolderView(QWidget *parent = nullptr);
    ~FolderView() override;

    void setViewMode(ViewMode mode);
    ViewMode viewMode() const { return m_mode; }

    // Shows the folder at once. A missing or unreadable folder shows an empty
    // view; an empty path shows nothing.
    void setPath(const QString &path);
    // The folder now shown, absolute and in native form, without a trailing
    // separator except for a root ("/").
    QString path() const;

    // Name of the entry the user opened last (one path component).
    QString itemName() const { return m_itemName; }

    // Replaces the plain icons of entries without a poster or film icon. The
    // model calls it from its loader thread too; the view does not own it, and it
    // must outlive the view.
    void setIconProvider(QAbstractFileIconProvider *provider);

    // Posters of the entries looked at since the last setPath() are still
    // being found or decoded.
    bool isLoadingPosters() const;

signals:
    // The user opened a folder (double-click or Enter). itemName() names it.
    void itemOpen();

private:
    void openEntry(const QModelIndex &index);
    QAbstractItemView *currentView() const;
    void applyRoot();
    QIcon iconFor(const QModelIndex &source) const;
    void entryPainting(const QModelIndex &index);
    bool isPosterOnScreen(const QString &folder);
    void posterChanged(const QString &folder);

    // Declared first: the model's loader thread uses it until the model is gone.
    std::unique_ptr<EntryIconProvider> m_defaultIcons;
    QFileSystemModel *m_files = nullptr;
    FolderSortModel *m_sorted = nullptr;
    QStackedLayout *m_stack = nullptr;
    QListView *m_list = nullptr;
    QTreeView *m_details = nullptr;
    EntryDelegate *m_delegate = nullptr;
    PosterLoader *m_posters = nullptr;
    // Folders whose posters were asked for, by their place in the file model.
    QHash<QString, QPersistentModelIndex> m_posterEntries;
    QIcon m_filmIcon;
    bool m_postersShown = true;
    ViewMode m_mode = ViewMode::LargeIcons;
    QString m_path; // cleaned, absolute, '/' separators
    QString m_itemName;
};

} // namespace moviecat
