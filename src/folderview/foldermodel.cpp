#include "folderview/foldermodel.h"

#include "folderview/workerpool.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileIconProvider>
#include <QLocale>
#include <QMimeDatabase>
#include <QMutex>
#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <numeric>
#include <sys/inotify.h>
#include <unistd.h>

// Map of this file: the workers' side first (rows built from names, the
// reading, the stat calls, the change notices), then the model on the GUI
// thread (folder changes and what the workers answer), then the rows' order
// and what the views read.

namespace moviecat {

namespace {

using namespace std::chrono_literals;

// The first names go out quickly, later ones in fewer, larger batches.
constexpr auto firstBatchAfter = 30ms;
constexpr auto batchEvery = 100ms;
// Stat calls in flight at once: a share's latency is the limit, not the cores.
constexpr int localFactTasks = 2;
constexpr int shareFactTasks = 12;
constexpr auto defaultQuietLimit = 10s;

QLocale collationLocale()
{
    // The "C" locale compares code points and ignores numeric mode, which would
    // put "Film 10" before "Film 2" on a machine with LANG=C.
    const QLocale system;
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

QCollator makeCollator()
{
    QCollator collator(collationLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// Says when a worker should hand over what it has gathered.
class Pacer {
public:
    Pacer() { m_clock.start(); }
    bool due()
    {
        if (m_clock.elapsed() < m_next.count())
            return false;
        m_clock.restart();
        m_next = batchEvery;
        return true;
    }

private:
    QElapsedTimer m_clock;
    std::chrono::milliseconds m_next = firstBatchAfter;
};

FolderModel::Row makeRow(ListedName &&listed, const QCollator &collator, const QMimeDatabase &mimes)
{
    QCollatorSortKey key = collator.sortKey(listed.name);
    FolderModel::Row row{std::move(listed.name), std::move(key), listed.kind, -1, -1, {}, {}};
    if (row.kind != EntryKind::Folder) {
        // By the name's ending only: reading contents means a round trip per file.
        const QMimeType type = mimes.mimeTypeForFile(row.name, QMimeDatabase::MatchExtension);
        row.type = type.comment().isEmpty() ? type.name() : type.comment();
        row.iconName = type.iconName();
    }
    return row;
}

} // namespace

// ---- Workers ---------------------------------------------------------------

// Where workers hand in their answers. The model unhooks itself under the lock
// before it goes, so nothing is posted to a dead object.
struct FolderModel::Sink {
    QMutex mutex;
    FolderModel *target = nullptr;

    template <typename Deliver> void post(Deliver deliver)
    {
        QMutexLocker lock(&mutex);
        if (FolderModel *model = target) {
            QMetaObject::invokeMethod(
                model, [model, deliver = std::move(deliver)]() mutable { deliver(model); },
                Qt::QueuedConnection);
        }
    }
};

// An inotify descriptor watching one folder; closing it ends the watch.
struct FolderModel::Watch {
    int fd = -1;
    Watch() = default;
    Watch(const Watch &) = delete;
    Watch &operator=(const Watch &) = delete;
    ~Watch()
    {
        if (fd >= 0)
            close(fd);
    }

    // Runs in a worker: adding the watch looks the path up.
    static std::shared_ptr<Watch> on(const QString &folder)
    {
        auto watch = std::make_shared<Watch>();
        watch->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watch->fd < 0)
            return {};
        const uint32_t events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
        if (inotify_add_watch(watch->fd, QFile::encodeName(folder).constData(), events) < 0)
            return {};
        return watch;
    }
};

// One reading of one folder, shared by the workers that do it.
struct FolderModel::Listing {
    Listing(QString f, quint64 i, std::shared_ptr<FolderLister> l, WorkerPool &p)
        : folder(std::move(f)), id(i), lister(std::move(l)), pool(p)
    {}

    const QString folder;
    const quint64 id;
    const std::shared_ptr<FolderLister> lister;
    WorkerPool &pool;
    // Set while the folder is not shown; the workers stop at the next entry.
    std::atomic<bool> abandoned{false};
    // Names in the order first shown, so that the entries on screen get their
    // sizes and dates first.
    std::vector<QString> toStat;
    std::atomic<std::size_t> nextStat{0};

    void read(const std::shared_ptr<Listing> &self, const std::shared_ptr<Sink> &sink);
    void stat(const std::shared_ptr<Sink> &sink);
};

void FolderModel::Listing::read(const std::shared_ptr<Listing> &self,
                                const std::shared_ptr<Sink> &sink)
{
    if (lister->sendsChangeNotices(folder)) {
        if (std::shared_ptr<Watch> watch = Watch::on(folder))
            sink->post([self, watch](FolderModel *model) { model->watchArrived(self, watch); });
    }
    const QCollator collator = makeCollator();
    const QMimeDatabase mimes;
    std::vector<Row> batch;
    std::vector<Row> all;
    Pacer pacer;
    const int error = lister->list(folder, [&](ListedName &&listed) {
        if (abandoned)
            return false;
        batch.push_back(makeRow(std::move(listed), collator, mimes));
        all.push_back(batch.back());
        if (pacer.due()) {
            sink->post([self, rows = std::move(batch)](FolderModel *model) mutable {
                model->namesArrived(self, rows, false, 0, 0);
            });
            batch.clear();
        }
        return true;
    });
    const bool stopped = abandoned;
    const int tasks = stopped || error != 0 ? 0
                      : lister->sendsChangeNotices(folder)
                          ? std::min<int>(localFactTasks, int(all.size()))
                          : std::min<int>(shareFactTasks, int(all.size()));
    sink->post([self, rows = std::move(batch), error = stopped ? ECANCELED : error,
                tasks](FolderModel *model) mutable {
        model->namesArrived(self, rows, true, error, tasks);
    });
    if (tasks == 0)
        return;
    // Folders first in natural order, as the view first shows them.
    std::sort(all.begin(), all.end(), [](const Row &a, const Row &b) {
        if ((a.kind == EntryKind::Folder) != (b.kind == EntryKind::Folder))
            return a.kind == EntryKind::Folder;
        return a.key.compare(b.key) < 0;
    });
    toStat.reserve(all.size());
    for (Row &row : all)
        toStat.push_back(std::move(row.name));
    all.clear();
    for (int i = 0; i < tasks; ++i)
        pool.start([self, sink] { self->stat(sink); });
}

void FolderModel::Listing::stat(const std::shared_ptr<Sink> &sink)
{
    std::vector<std::pair<QString, EntryFacts>> done;
    Pacer pacer;
    const auto hand = [&](bool last) {
        sink->post([id = id, facts = std::move(done), last](FolderModel *model) mutable {
            model->factsArrived(id, facts, last);
        });
        done.clear();
    };
    while (!abandoned) {
        const std::size_t next = nextStat++;
        if (next >= toStat.size())
            break;
        done.emplace_back(toStat[next], lister->facts(folder, toStat[next]));
        if (pacer.due())
            hand(false);
    }
    hand(true);
}

// ---- The model: folder changes and answers -----------------------------------

FolderModel::FolderModel(QObject *parent)
    : FolderModel(systemFolderLister(), WorkerPool::shared(), parent)
{}

FolderModel::FolderModel(std::shared_ptr<FolderLister> lister, WorkerPool &pool, QObject *parent)
    : QAbstractTableModel(parent), m_lister(std::move(lister)), m_pool(pool),
      m_sink(std::make_shared<Sink>()), m_typeCollator(collationLocale()),
      m_folderIcon(QFileIconProvider().icon(QAbstractFileIconProvider::Folder)),
      m_fileIcon(QFileIconProvider().icon(QAbstractFileIconProvider::File))
{
    m_sink->target = this;
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(defaultQuietLimit);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (m_state == State::Reading)
            setState(State::NotAnswering);
    });
}

FolderModel::~FolderModel()
{
    QMutexLocker lock(&m_sink->mutex);
    m_sink->target = nullptr;
    if (m_listing)
        m_listing->abandoned = true;
}

void FolderModel::setQuietLimit(std::chrono::milliseconds limit)
{
    m_quiet.setInterval(limit);
}

void FolderModel::setFolder(const QString &folder)
{
    if (m_listing)
        m_listing->abandoned = true;
    m_listing.reset();
    if (m_notices) {
        // Possibly called from its own signal: gone once that returns.
        m_notices->setEnabled(false);
        m_notices->deleteLater();
        m_notices = nullptr;
    }
    m_watch.reset();
    m_changed.clear();
    m_changeRunning = false;
    m_kindWaiters.clear();
    m_factTasks = 0;
    m_namesDone = false;
    m_failure = 0;
    if (!m_rows.empty()) {
        beginResetModel();
        m_rows.clear();
        m_rowOf.clear();
        endResetModel();
    }
    m_folder = folder;
    if (folder.isEmpty()) {
        m_quiet.stop();
        setState(State::NoFolder);
        return;
    }
    startListing(folder);
}

void FolderModel::startListing(const QString &folder)
{
    if (std::shared_ptr<Listing> waiting = m_unanswered.value(folder)) {
        waiting->abandoned = false;
        m_listing = waiting;
    } else {
        m_listing = std::make_shared<Listing>(folder, m_nextId++, m_lister, m_pool);
        m_unanswered.insert(folder, m_listing);
        m_pool.start([listing = m_listing, sink = m_sink] { listing->read(listing, sink); });
    }
    m_namesDone = false;
    setState(State::Reading);
    m_quiet.start();
}

void FolderModel::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void FolderModel::heard()
{
    if (m_state == State::NotAnswering)
        setState(State::Reading);
    if (m_state == State::Reading)
        m_quiet.start();
}

void FolderModel::namesArrived(const std::shared_ptr<Listing> &listing, std::vector<Row> &rows,
                               bool last, int error, int factTasks)
{
    if (m_unanswered.value(listing->folder) == listing)
        m_unanswered.remove(listing->folder);
    if (listing != m_listing)
        return;
    if (last && error == ECANCELED) {
        // It gave up just before the folder was shown again.
        startListing(m_folder);
        return;
    }
    heard();
    addRows(rows);
    if (!last)
        return;
    m_quiet.stop();
    m_namesDone = true;
    m_factTasks = factTasks;
    if (error != 0 && m_rows.empty()) {
        m_failure = error;
        setState(State::Failed);
        return;
    }
    setState(m_factTasks > 0 ? State::Listed : State::Complete);
}

void FolderModel::factsArrived(quint64 id, std::vector<std::pair<QString, EntryFacts>> &facts,
                               bool taskDone)
{
    if (!m_listing || m_listing->id != id)
        return;
    int first = int(m_rows.size());
    int last = -1;
    bool reorderNeeded = false;
    QStringList gone;
    for (const auto &[name, fact] : facts) {
        if (const auto waiter = m_kindWaiters.constFind(name); waiter != m_kindWaiters.constEnd()) {
            const auto act = *waiter;
            m_kindWaiters.erase(waiter);
            act(fact.exists ? fact.kind : EntryKind::Unknown);
        }
        const int row = rowOf(name);
        if (row < 0)
            continue;
        if (!fact.exists) {
            gone << name;
            continue;
        }
        reorderNeeded = applyFacts(m_rows[std::size_t(row)], fact) || reorderNeeded;
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (last >= first)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    for (const QString &name : std::as_const(gone))
        removeEntry(rowOf(name));
    if (reorderNeeded)
        reorder();
    if (taskDone && --m_factTasks == 0 && m_namesDone && m_state == State::Listed)
        setState(State::Complete);
}

void FolderModel::watchArrived(const std::shared_ptr<Listing> &listing,
                               std::shared_ptr<Watch> watch)
{
    if (m_unanswered.value(listing->folder) == listing)
        m_unanswered.remove(listing->folder);
    if (listing != m_listing)
        return; // the watch ends as its last reference goes
    m_watch = std::move(watch);
    m_notices = new QSocketNotifier(m_watch->fd, QSocketNotifier::Read, this);
    connect(m_notices, &QSocketNotifier::activated, this, &FolderModel::readNotices);
}

void FolderModel::readNotices()
{
    // Reading the descriptor touches no disk; it only drains the kernel's queue.
    alignas(inotify_event) char buffer[16384];
    bool again = false;
    for (;;) {
        const ssize_t got = read(m_watch->fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                again = true;
            } else if (event->len > 0) {
                const QString name = QFile::decodeName(event->name);
                if (!name.startsWith(QLatin1Char('.')))
                    m_changed.insert(name);
            }
        }
    }
    if (again) {
        // Lost track, or the folder itself went: read the path afresh.
        setFolder(m_folder);
        return;
    }
    statChanged();
}

void FolderModel::statChanged()
{
    if (m_changeRunning || m_changed.isEmpty() || !m_listing)
        return;
    m_changeRunning = true;
    const QStringList names(m_changed.cbegin(), m_changed.cend());
    m_changed.clear();
    m_pool.start([listing = m_listing, sink = m_sink, names] {
        const QCollator collator = makeCollator();
        const QMimeDatabase mimes;
        std::vector<std::pair<Row, EntryFacts>> changes;
        for (const QString &name : names) {
            const EntryFacts facts = listing->lister->facts(listing->folder, name);
            changes.emplace_back(makeRow({name, facts.kind}, collator, mimes), facts);
        }
        sink->post([id = listing->id, changes = std::move(changes)](FolderModel *model) mutable {
            model->changesArrived(id, changes);
        });
    });
}

void FolderModel::changesArrived(quint64 id, std::vector<std::pair<Row, EntryFacts>> &changes)
{
    if (!m_listing || m_listing->id != id)
        return;
    m_changeRunning = false;
    bool reorderNeeded = false;
    for (auto &[row, facts] : changes) {
        const int at = rowOf(row.name);
        if (!facts.exists) {
            if (at >= 0)
                removeEntry(at);
        } else if (at >= 0) {
            reorderNeeded = applyFacts(m_rows[std::size_t(at)], facts) || reorderNeeded;
            emit dataChanged(index(at, 0), index(at, ColumnCount - 1));
        } else {
            applyFacts(row, facts);
            insertRow(row);
        }
    }
    if (reorderNeeded)
        reorder();
    statChanged();
}

// ---- Rows and their order ----------------------------------------------------

void FolderModel::addRows(std::vector<Row> &rows)
{
    // A name the change notices brought in already is not listed twice.
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [this](const Row &row) { return m_rowOf.contains(row.name); }),
               rows.end());
    if (rows.empty())
        return;
    std::stable_sort(rows.begin(), rows.end(),
                     [this](const Row &a, const Row &b) { return before(a, b); });
    const int old = int(m_rows.size());
    beginInsertRows({}, old, old + int(rows.size()) - 1);
    for (const Row &row : rows)
        m_rowOf.insert(row.name, -1);
    m_rowOfStale = true;
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    endInsertRows();
    if (old == 0)
        return;
    // Both runs are in order already: merging them is enough.
    std::vector<int> order(m_rows.size(), 0);
    std::iota(order.begin(), order.end(), 0);
    std::inplace_merge(order.begin(), order.begin() + old, order.end(), [this](int a, int b) {
        return before(m_rows[std::size_t(a)], m_rows[std::size_t(b)]);
    });
    applyOrder(order);
}

void FolderModel::insertRow(Row &row)
{
    const auto at = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                     [this](const Row &a, const Row &b) { return before(a, b); });
    const int position = int(at - m_rows.begin());
    beginInsertRows({}, position, position);
    m_rowOf.insert(row.name, -1);
    m_rowOfStale = true;
    m_rows.insert(at, std::move(row));
    endInsertRows();
}

void FolderModel::removeEntry(int row)
{
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_rowOf.remove(m_rows[std::size_t(row)].name);
    m_rowOfStale = true;
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

// True when the row's place in the order may have changed.
bool FolderModel::applyFacts(Row &row, const EntryFacts &facts)
{
    bool moved = row.kind != facts.kind;
    if (m_sortColumn == SizeColumn)
        moved = moved || row.size != facts.size;
    if (m_sortColumn == DateColumn)
        moved = moved || row.modifiedMs != facts.modifiedMs;
    row.kind = facts.kind;
    row.size = facts.size;
    row.modifiedMs = facts.modifiedMs;
    return moved;
}

bool FolderModel::before(const Row &a, const Row &b) const
{
    const bool aFolder = a.kind == EntryKind::Folder;
    const bool bFolder = b.kind == EntryKind::Folder;
    // Folders stay on top in either direction.
    if (aFolder != bFolder)
        return aFolder;
    int order = 0;
    switch (m_sortColumn) {
    case SizeColumn:
        order = a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
        break;
    case TypeColumn:
        order = aFolder ? 0 : m_typeCollator.compare(a.type, b.type);
        break;
    case DateColumn:
        order = a.modifiedMs < b.modifiedMs ? -1 : a.modifiedMs > b.modifiedMs ? 1 : 0;
        break;
    default:
        break;
    }
    if (order == 0)
        order = a.key.compare(b.key);
    if (order == 0) // names equal but for case: a definite order all the same
        order = a.name.compare(b.name);
    return m_sortOrder == Qt::AscendingOrder ? order < 0 : order > 0;
}

void FolderModel::reorder()
{
    std::vector<int> order(m_rows.size(), 0);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return before(m_rows[std::size_t(a)], m_rows[std::size_t(b)]);
    });
    applyOrder(order);
}

// order[i]: the row that goes to place i.
void FolderModel::applyOrder(const std::vector<int> &order)
{
    const int count = int(order.size());
    bool same = true;
    for (int i = 0; i < count && same; ++i)
        same = order[std::size_t(i)] == i;
    if (same)
        return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(std::size_t(count), 0);
    std::vector<Row> sorted;
    sorted.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        newRow[std::size_t(order[std::size_t(i)])] = i;
        sorted.push_back(std::move(m_rows[std::size_t(order[std::size_t(i)])]));
    }
    m_rows.swap(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &old : from)
        to << index(newRow[std::size_t(old.row())], old.column());
    changePersistentIndexList(from, to);
    m_rowOfStale = true;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FolderModel::reindex() const
{
    // The keys are always the shown names; only the places are brought up to date.
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        m_rowOf[m_rows[row].name] = int(row);
    m_rowOfStale = false;
}

void FolderModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    reorder();
}

// ---- What the views read -------------------------------------------------------

QString FolderModel::name(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[std::size_t(row)].name : QString();
}

EntryKind FolderModel::kind(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[std::size_t(row)].kind
                                                : EntryKind::Unknown;
}

QString FolderModel::filePath(int row) const
{
    return pathOf(name(row));
}

QString FolderModel::pathOf(const QString &name) const
{
    if (m_folder.endsWith(QLatin1Char('/')))
        return m_folder + name;
    return m_folder + QLatin1Char('/') + name;
}

int FolderModel::rowOf(const QString &name) const
{
    if (m_rowOfStale)
        reindex();
    return m_rowOf.value(name, -1);
}

void FolderModel::whenKindKnown(const QString &name, std::function<void(EntryKind)> act)
{
    const EntryKind known = kind(rowOf(name));
    if (known != EntryKind::Unknown || !m_listing) {
        act(known);
        return;
    }
    m_kindWaiters.insert(name, std::move(act));
    m_pool.start([listing = m_listing, sink = m_sink, name] {
        std::vector<std::pair<QString, EntryFacts>> facts;
        facts.emplace_back(name, listing->lister->facts(listing->folder, name));
        sink->post([id = listing->id, facts = std::move(facts)](FolderModel *model) mutable {
            model->factsArrived(id, facts, false);
        });
    });
}

void FolderModel::setIconOverride(std::function<QIcon(int)> icon)
{
    m_iconOverride = std::move(icon);
}

void FolderModel::iconChanged(int row)
{
    if (row >= 0 && row < int(m_rows.size()))
        emit dataChanged(index(row, NameColumn), index(row, NameColumn), {Qt::DecorationRole});
}

int FolderModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FolderModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

Qt::ItemFlags FolderModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

QIcon FolderModel::plainIcon(const Row &row) const
{
    if (row.kind == EntryKind::Folder)
        return m_folderIcon;
    if (row.iconName.isEmpty())
        return m_fileIcon;
    auto icon = m_themedIcons.constFind(row.iconName);
    if (icon == m_themedIcons.constEnd())
        icon = m_themedIcons.insert(row.iconName, QIcon::fromTheme(row.iconName, m_fileIcon));
    return *icon;
}

QVariant FolderModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Row &row = m_rows[std::size_t(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        switch (column) {
        case NameColumn:
            return row.name;
        case SizeColumn:
            if (row.kind == EntryKind::File && row.size >= 0)
                return QLocale().formattedDataSize(row.size);
            return {};
        case TypeColumn:
            return row.kind == EntryKind::Folder ? tr("文件夹") : row.type;
        case DateColumn:
            if (row.modifiedMs < 0)
                return {};
            return QLocale().toString(QDateTime::fromMSecsSinceEpoch(row.modifiedMs),
                                      QLocale::ShortFormat);
        default:
            return {};
        }
    }
    if (role == Qt::DecorationRole && column == NameColumn) {
        if (m_iconOverride) {
            const QIcon icon = m_iconOverride(index.row());
            if (!icon.isNull())
                return icon;
        }
        return plainIcon(row);
    }
    if (role == Qt::TextAlignmentRole && column == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FolderModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return tr("名称");
    case SizeColumn:
        return tr("大小");
    case TypeColumn:
        return tr("类型");
    case DateColumn:
        return tr("修改日期");
    default:
        return {};
    }
}

} // namespace moviecat
