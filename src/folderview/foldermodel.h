#pragma once

#include "folderview/folderlister.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>
#include <QIcon>
#include <QSet>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace moviecat {

class WorkerPool;

// The entries of the one folder shown, a flat table (no root index): Name,
// Size, Type, Date Modified; folders first, then the sort column, then
// natural, case-insensitive name order ("Film 2" before "Film 10").
//
// Every file-system call runs on workers: names and kinds arrive first, in
// batches, sizes and dates after them from stat calls issued several at a
// time. An answer for a folder no longer shown is dropped. Only the shown
// folder's rows are held. On a local disk the folder is watched and changes
// come in as row inserts, removals and updates; elsewhere it is read afresh
// whenever it is shown again.
class FolderModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, SizeColumn, TypeColumn, DateColumn, ColumnCount };
    enum class State {
        NoFolder,     // no path set
        Reading,      // names still coming (or none yet)
        NotAnswering, // nothing has come for a while
        Failed,       // the folder could not be read; failure() says why
        Listed,       // every name shown; sizes and dates may still come
        Complete,
    };
    Q_ENUM(State)

    explicit FolderModel(QObject *parent = nullptr);
    FolderModel(std::shared_ptr<FolderLister> lister, WorkerPool &pool, QObject *parent = nullptr);
    ~FolderModel() override;

    // An absolute path with '/' separators; empty shows nothing. Returns at
    // once: the reading goes on in workers.
    void setFolder(const QString &folder);
    QString folder() const { return m_folder; }
    State state() const { return m_state; }
    // The errno of a failed reading.
    int failure() const { return m_failure; }
    // How long a reading may stay silent before it counts as not answering.
    void setQuietLimit(std::chrono::milliseconds limit);

    QString name(int row) const;
    EntryKind kind(int row) const;
    QString filePath(int row) const;
    // The shown folder's entry called name.
    QString pathOf(const QString &name) const;
    // -1 when not shown.
    int rowOf(const QString &name) const;
    // Calls `act` once the entry's kind is known (now, if it is); dropped
    // when the folder changes first.
    void whenKindKnown(const QString &name, std::function<void(EntryKind)> act);

    // Replaces an entry's icon where it gives a non-null one (posters, films).
    void setIconOverride(std::function<QIcon(int row)> icon);
    void iconChanged(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // One entry as workers build it and the model holds it.
    struct Row {
        QString name;
        QCollatorSortKey key;
        EntryKind kind = EntryKind::Unknown;
        qint64 size = -1;
        qint64 modifiedMs = -1;
        QString type;     // from the name's ending, for files
        QString iconName; // the theme's icon for that type
    };
    struct Listing;
    struct Sink;
    struct Watch;

signals:
    void stateChanged(moviecat::FolderModel::State state);

private:
    void startListing(const QString &folder);
    void setState(State state);
    void heard();
    void namesArrived(const std::shared_ptr<Listing> &listing, std::vector<Row> &rows, bool last,
                      int error, int factTasks);
    void factsArrived(quint64 id, std::vector<std::pair<QString, EntryFacts>> &facts,
                      bool taskDone);
    void watchArrived(const std::shared_ptr<Listing> &listing, std::shared_ptr<Watch> watch);
    void changesArrived(quint64 id, std::vector<std::pair<Row, EntryFacts>> &changes);
    void readNotices();
    void statChanged();

    void addRows(std::vector<Row> &rows);
    void insertRow(Row &row);
    void removeEntry(int row);
    bool applyFacts(Row &row, const EntryFacts &facts);
    bool before(const Row &a, const Row &b) const;
    void reorder();
    void applyOrder(const std::vector<int> &order);
    void reindex() const;
    QIcon plainIcon(const Row &row) const;

    std::shared_ptr<FolderLister> m_lister;
    WorkerPool &m_pool;
    std::shared_ptr<Sink> m_sink;
    std::shared_ptr<Listing> m_listing;
    // Readings that have not answered at all yet, by folder: showing that
    // folder again waits on the same reading instead of sending another
    // worker to hang beside it.
    QHash<QString, std::shared_ptr<Listing>> m_unanswered;
    quint64 m_nextId = 1;
    QString m_folder;
    State m_state = State::NoFolder;
    int m_failure = 0;
    int m_factTasks = 0;
    bool m_namesDone = false;
    QTimer m_quiet;

    std::vector<Row> m_rows;
    // Every shown name; its row is brought up to date when asked for.
    mutable QHash<QString, int> m_rowOf;
    mutable bool m_rowOfStale = false;
    int m_sortColumn = NameColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QCollator m_typeCollator;
    QHash<QString, std::function<void(EntryKind)>> m_kindWaiters;

    std::shared_ptr<Watch> m_watch;
    QSocketNotifier *m_notices = nullptr;
    QSet<QString> m_changed;
    bool m_changeRunning = false;

    std::function<QIcon(int)> m_iconOverride;
    QIcon m_folderIcon;
    QIcon m_fileIcon;
    mutable QHash<QString, QIcon> m_themedIcons;
};

} // namespace moviecat
