#include "search/resultsmodel.h"

#include "search/searchindex.h"
#include "ui/filenames.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>

namespace moviecat {

ResultsModel::ResultsModel(QObject *parent) : QAbstractListModel(parent) {}

void ResultsModel::setPaths(const QStringList &paths, const QHash<QString, QDateTime> &offline)
{
    beginResetModel();
    m_paths = paths;
    m_offline = offline;
    endResetModel();
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_paths.size());
}

QString ResultsModel::note(const QString &path) const
{
    QStringList notes;
    if (const auto offline = m_offline.constFind(path); offline != m_offline.cend())
        notes << tr("离线，最后见于 %1").arg(SearchIndex::shownTime(*offline));
    if (const QString encoding = FileNames::encodingNote(path); !encoding.isEmpty())
        notes << encoding;
    return notes.join(tr("；"));
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QString &path = m_paths.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return FileNames::readable(path);
    case PathRole:
        return path;
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        if (const QString said = note(path); !said.isEmpty())
            return said;
        return {};
    case Qt::ForegroundRole:
        // A line only the index vouches for is greyed.
        if (m_offline.contains(path))
            return QBrush(QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
        return {};
    default:
        return {};
    }
}

} // namespace moviecat
