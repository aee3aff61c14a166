#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QAbstractFileIconProvider;
class QAbstractItemDelegate;
class QAbstractItemView;
class QFileIconProvider;
class QFileSystemModel;
class QListView;
class QModelIndex;
class QStackedLayout;
class QTreeView;

namespace moviecat {

class FolderSortModel;

// How the folder view draws its entries; the 16-bit values are the ones the
// window writes.
enum class ViewMode : qint16 { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };

// Lists the entries of one folder. It does not move between folders on its own:
// opening a folder only reports it (itemOpen), and the host writes the new path.
// Listing happens in the file system model's own thread, so a slow share never
// stalls the window.
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

    // Replaceable pieces for drawing the entries in the icon modes (posters).
    // The provider runs in the model's loader thread; the view owns neither, and
    // the provider must outlive the view.
    void setIconProvider(QAbstractFileIconProvider *provider);
    void setIconDelegate(QAbstractItemDelegate *delegate);

signals:
    // The user opened a folder (double-click or Enter). itemName() names it.
    void itemOpen();

private:
    void openEntry(const QModelIndex &index);
    QAbstractItemView *currentView() const;
    void applyRoot();

    // Declared first: the model's loader thread uses it until the model is gone.
    std::unique_ptr<QFileIconProvider> m_defaultIcons;
    QFileSystemModel *m_files = nullptr;
    FolderSortModel *m_sorted = nullptr;
    QStackedLayout *m_stack = nullptr;
    QListView *m_list = nullptr;
    QTreeView *m_details = nullptr;
    ViewMode m_mode = ViewMode::LargeIcons;
    QString m_path; // cleaned, absolute, '/' separators
    QString m_itemName;
};

} // namespace moviecat
