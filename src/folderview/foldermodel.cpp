#include "folderview/foldermodel.h"

#include "folderview/entryicons.h"
#include "folderview/moviecolumns.h"
#include "ui/datetext.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <numeric>

namespace moviecat {

namespace {
using namespace std::chrono_literals;
// Sizes or dates streaming in move rows about at most this often.
constexpr auto defaultReorderDelay = 250ms;
} // namespace

FolderModel::FolderModel(QObject *parent)
    : QAbstractTableModel(parent), m_typeCollator(typeCollator())
{
    m_reorder.setSingleShot(true);
    m_reorder.setInterval(defaultReorderDelay);
    connect(&m_reorder, &QTimer::timeout, this, &FolderModel::reorder);
}

FolderModel::~FolderModel() = default;

void FolderModel::setIcons(const EntryIcons *icons)
{
    m_icons = icons;
}

void FolderModel::setReorderDelay(std::chrono::milliseconds delay)
{
    m_reorder.setInterval(delay);
}

void FolderModel::clear()
{
    m_reorder.stop();
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    m_rowOf.clear();
    m_rowOfStale = false;
    endResetModel();
}

void FolderModel::applyFacts(const std::vector<NamedFacts> &facts)
{
    int first = int(m_rows.size());
    int last = -1;
    bool moved = false;
    QStringList gone;
    for (const auto &[name, fact] : facts) {
        const int row = rowOf(name);
        if (row < 0)
            continue;
        if (!fact.exists) {
            gone << name;
            continue;
        }
        moved = takeFacts(m_rows[std::size_t(row)], fact) || moved;
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (last >= first)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    removeNames(gone);
    if (moved && !m_reorder.isActive())
        m_reorder.start();
}

void FolderModel::settleOrder()
{
    if (m_reorder.isActive())
        reorder();
}

void FolderModel::removeNames(const QStringList &names)
{
    for (const QString &name : names)
        removeEntry(rowOf(name));
}

// ---- Rows and their order ----------------------------------------------------

void FolderModel::addRows(std::vector<FolderEntry> rows)
{
    // A name the change notices brought in already is not listed twice.
    rows.erase(
        std::remove_if(rows.begin(), rows.end(),
                       [this](const FolderEntry &row) { return m_rowOf.contains(row.name); }),
        rows.end());
    if (rows.empty())
        return;
    std::stable_sort(rows.begin(), rows.end(),
                     [this](const FolderEntry &a, const FolderEntry &b) { return before(a, b); });
    const int old = int(m_rows.size());
    beginInsertRows({}, old, old + int(rows.size()) - 1);
    for (const FolderEntry &row : rows)
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

void FolderModel::insertEntry(FolderEntry &row)
{
    const auto at = std::upper_bound(
        m_rows.begin(), m_rows.end(), row,
        [this](const FolderEntry &a, const FolderEntry &b) { return before(a, b); });
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
bool FolderModel::takeFacts(FolderEntry &row, const EntryFacts &facts) const
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

bool FolderModel::before(const FolderEntry &a, const FolderEntry &b) const
{
    const bool aFolder = a.kind == EntryKind::Folder;
    const bool bFolder = b.kind == EntryKind::Folder;
    // Folders stay on top in either direction.
    if (aFolder != bFolder)
        return aFolder;
    int order = 0;
    if (isMovieColumn(m_sortColumn)) {
        const std::optional<double> aValue = movieNumber(a, m_sortColumn);
        const std::optional<double> bValue = movieNumber(b, m_sortColumn);
        // Entries without a value go last in either direction.
        if (aValue.has_value() != bValue.has_value())
            return aValue.has_value();
        if (aValue)
            order = *aValue < *bValue ? -1 : *aValue > *bValue ? 1 : 0;
    }
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
    m_reorder.stop();
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
    std::vector<FolderEntry> sorted;
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

int FolderModel::rowOf(const QString &name) const
{
    if (m_rowOfStale)
        reindex();
    return m_rowOf.value(name, -1);
}

bool FolderModel::isFilm(int row) const
{
    return row >= 0 && row < int(m_rows.size()) && m_rows[std::size_t(row)].film;
}

void FolderModel::setMovieInfo(const QString &name, std::shared_ptr<const MovieInfo> movie)
{
    const int row = rowOf(name);
    if (row < 0)
        return;
    FolderEntry &entry = m_rows[std::size_t(row)];
    if (entry.movie == movie)
        return;
    const std::optional<double> sortedBy = movieNumber(entry, m_sortColumn);
    entry.movie = std::move(movie);
    emit dataChanged(index(row, NameColumn), index(row, ColumnCount - 1));
    // Many arrive at once: the rows are put in order a few times a second.
    if (isMovieColumn(m_sortColumn) && movieNumber(entry, m_sortColumn) != sortedBy &&
        !m_reorder.isActive())
        m_reorder.start();
}

void FolderModel::iconChanged(const QString &name)
{
    const int row = rowOf(name);
    if (row >= 0)
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

QVariant FolderModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const FolderEntry &row = m_rows[std::size_t(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        switch (column) {
        case NameColumn:
            return row.shown;
        case SizeColumn:
            if (row.kind == EntryKind::File && row.size >= 0)
                return QLocale().formattedDataSize(row.size);
            return {};
        case TypeColumn:
            return row.kind == EntryKind::Folder ? tr("文件夹") : row.type;
        case DateColumn:
            if (row.modifiedMs < 0)
                return {};
            return dateText(QDateTime::fromMSecsSinceEpoch(row.modifiedMs), DateDetail::Minute);
        default:
            return movieText(row, column);
        }
    }
    if (role == Qt::ToolTipRole) {
        // How a name that is not UTF-8 reads, under what its .nfo says.
        const QString note = column == NameColumn ? row.note : QString();
        const QVariant movie = movieToolTip(row, note);
        return movie.isValid() || note.isEmpty() ? movie : QVariant(note);
    }
    if (role == Qt::DecorationRole && column == NameColumn) {
        if (m_icons)
            return m_icons->icon(row);
        return {};
    }
    if (role == Qt::AccessibleDescriptionRole && column == NameColumn && !row.note.isEmpty())
        return row.note;
    if (role == Qt::TextAlignmentRole && (column == SizeColumn || isMovieColumn(column)))
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
    case YearColumn:
    case RatingColumn:
    case RuntimeColumn:
        return movieColumnTitle(section);
    default:
        return {};
    }
}

QHash<QString, QString> FolderModel::videosByNfo(const QStringList &newNames) const
{
    QHash<QString, QString> videos;
    const bool withNfo = std::any_of(newNames.begin(), newNames.end(), [](const QString &name) {
        return name.endsWith(QLatin1String(".nfo"), Qt::CaseInsensitive);
    });
    if (!withNfo)
        return videos;
    for (int row = 0; row < rowCount(); ++row) {
        if (isFilm(row))
            videos.insert(NfoFile::besideVideo(name(row)), name(row));
    }
    return videos;
}

} // namespace moviecat
