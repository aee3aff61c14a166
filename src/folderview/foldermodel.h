#pragma once

#include "folderview/foldercolumns.h"
#include "folderview/folderentry.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <QHash>
#include <QString>
#include <QTimer>
#include <chrono>
#include <vector>

namespace moviecat {

class EntryIcons;

// The entries of the one folder shown, a flat table (no root index): Name,
// Size, Type, Date Modified, and a movie's Year, Rating and Running time;
// folders first, then the sort column (entries without a year, rating or
// running time after those with one, in either direction), then natural,
// case-insensitive name order ("Film 2" before "Film 10").
//
// It only holds rows: entries come in batches (addRows), their facts later
// (applyFacts), and whoever reads the folder hands them over. While facts
// stream in, the rows are put back in order a few times a second, not once
// per batch; persistent indexes (the selection) follow the rows.
class FolderModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using enum FolderColumn;

    explicit FolderModel(QObject *parent = nullptr);
    ~FolderModel() override;

    // Where the entries' icons come from; none when not set.
    void setIcons(const EntryIcons *icons);
    // How long a change of order may wait for more changes.
    void setReorderDelay(std::chrono::milliseconds delay);

    // New entries; a name shown already is left as it is.
    void addRows(std::vector<FolderEntry> entries);
    // Kinds, sizes and dates of shown names; a name that no longer exists goes.
    void applyFacts(const std::vector<NamedFacts> &facts);
    void removeNames(const QStringList &names);
    void clear();
    // Puts the rows in order now if a change of order is waiting (the last
    // facts are in).
    void settleOrder();
    // The entry's icon changed (a poster arrived).
    void iconChanged(const QString &name);
    // What the entry's .nfo says (null: it has none); the order follows.
    void setMovieInfo(const QString &name, std::shared_ptr<const MovieInfo> movie);

    QString name(int row) const;
    EntryKind kind(int row) const;
    bool isFilm(int row) const;
    // The shown videos by the name of the .nfo that would stand beside each, if any
    // of the new names is a .nfo's.
    QHash<QString, QString> videosByNfo(const QStringList &newNames) const;
    // -1 when not shown.
    int rowOf(const QString &name) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void insertEntry(FolderEntry &entry);
    void removeEntry(int row);
    bool takeFacts(FolderEntry &entry, const EntryFacts &facts) const;
    bool before(const FolderEntry &a, const FolderEntry &b) const;
    void reorder();
    void applyOrder(const std::vector<int> &order);
    void reindex() const;

    std::vector<FolderEntry> m_rows;
    // Every shown name; its row is brought up to date when asked for.
    mutable QHash<QString, int> m_rowOf;
    mutable bool m_rowOfStale = false;
    int m_sortColumn = NameColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QCollator m_typeCollator;
    QTimer m_reorder;
    const EntryIcons *m_icons = nullptr;
};

} // namespace moviecat
