#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <QString>
#include <functional>
#include <unordered_map>

class QFileSystemModel;

namespace moviecat {

// Orders a folder's entries the way people expect from a file manager: folders
// first, then natural, case-insensitive name order ("Film 2" before "Film 10").
// It also hides the whole tree while no folder is shown, so a view with no path
// (or a missing one) stays empty instead of listing the file system's roots.
class FolderSortModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit FolderSortModel(QFileSystemModel *source, QObject *parent = nullptr);

    // False: nothing passes, the views show an empty folder.
    void setShowingFolder(bool showing);
    bool isShowingFolder() const { return m_showing; }

    // Replaces an entry's icon where it gives a non-null one (posters, films);
    // called with the file system model's index, on every icon request.
    void setIconOverride(std::function<QIcon(const QModelIndex &source)> icon);
    // The override's answer for this entry changed.
    void iconChanged(const QModelIndex &index);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    int compareNames(const QModelIndex &left, const QModelIndex &right) const;
    const QCollatorSortKey &sortKey(const QString &name) const;

    QFileSystemModel *m_files;
    std::function<QIcon(const QModelIndex &)> m_iconOverride;
    QCollator m_collator;
    // Collation keys are costly to build and cheap to compare; a sort compares
    // each name many times, so each key is built once.
    mutable std::unordered_map<QString, QCollatorSortKey> m_keys;
    bool m_showing = false;
};

} // namespace moviecat
