#include "folderview/foldersortmodel.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QLocale>
#include <utility>

namespace moviecat {

namespace {

// Enough for several large folders; past it the cache starts over.
constexpr std::size_t maxCachedKeys = 20000;

enum Column { NameColumn = 0, SizeColumn = 1, TypeColumn = 2, DateColumn = 3 };

QLocale collationLocale()
{
    // The "C" locale compares code points and ignores numeric mode, which would
    // put "Film 10" before "Film 2" on a machine with LANG=C.
    const QLocale system;
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

} // namespace

FolderSortModel::FolderSortModel(QFileSystemModel *source, QObject *parent)
    : QSortFilterProxyModel(parent), m_files(source), m_collator(collationLocale())
{
    m_collator.setNumericMode(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    setSourceModel(source);
    setDynamicSortFilter(true);
}

void FolderSortModel::setShowingFolder(bool showing)
{
    if (showing == m_showing)
        return;
    m_showing = showing;
    invalidateFilter();
}

void FolderSortModel::setIconOverride(std::function<QIcon(const QModelIndex &)> icon)
{
    m_iconOverride = std::move(icon);
}

void FolderSortModel::iconChanged(const QModelIndex &index)
{
    if (index.isValid())
        emit dataChanged(index, index, {Qt::DecorationRole});
}

QVariant FolderSortModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DecorationRole && index.column() == NameColumn && m_iconOverride) {
        const QIcon icon = m_iconOverride(mapToSource(index));
        if (!icon.isNull())
            return icon;
    }
    return QSortFilterProxyModel::data(index, role);
}

bool FolderSortModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    Q_UNUSED(sourceRow);
    // Only the top level (the roots) is filtered; everything below a hidden root
    // is hidden with it.
    return sourceParent.isValid() || m_showing;
}

const QCollatorSortKey &FolderSortModel::sortKey(const QString &name) const
{
    auto it = m_keys.find(name);
    if (it == m_keys.end())
        it = m_keys.emplace(name, m_collator.sortKey(name)).first;
    return it->second;
}

int FolderSortModel::compareNames(const QModelIndex &left, const QModelIndex &right) const
{
    // fileName() is the index's display text: from a size, type or date column it
    // would be "4 KB" or "Folder", not the name this falls back on.
    const QString leftName = m_files->fileName(left.siblingAtColumn(NameColumn));
    const QString rightName = m_files->fileName(right.siblingAtColumn(NameColumn));
    // Look both keys up before comparing: the map is node based, so the first
    // reference survives the second insertion.
    const QCollatorSortKey &a = sortKey(leftName);
    const QCollatorSortKey &b = sortKey(rightName);
    const int byKey = a.compare(b);
    if (byKey != 0)
        return byKey;
    // Names equal but for case: keep a stable, definite order.
    return leftName.compare(rightName);
}

bool FolderSortModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (m_keys.size() > maxCachedKeys)
        m_keys.clear();

    const bool leftDir = m_files->isDir(left);
    const bool rightDir = m_files->isDir(right);
    if (leftDir != rightDir) {
        // Descending sorts call this with the arguments swapped; folders stay
        // on top either way.
        return sortOrder() == Qt::AscendingOrder ? leftDir : rightDir;
    }

    switch (left.column()) {
    case SizeColumn: {
        const qint64 a = m_files->size(left);
        const qint64 b = m_files->size(right);
        if (a != b)
            return a < b;
        break;
    }
    case TypeColumn: {
        const int byType = m_collator.compare(m_files->type(left), m_files->type(right));
        if (byType != 0)
            return byType < 0;
        break;
    }
    case DateColumn: {
        const QDateTime a = m_files->lastModified(left);
        const QDateTime b = m_files->lastModified(right);
        if (a != b)
            return a < b;
        break;
    }
    default:
        break;
    }
    return compareNames(left, right) < 0;
}

} // namespace moviecat
