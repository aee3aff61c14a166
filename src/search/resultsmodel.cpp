#include "search/resultsmodel.h"

#include "search/matchspans.h"
#include "search/searchindex.h"
#include "ui/filenames.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>

namespace moviecat {

namespace {

constexpr qsizetype kFreedOnWorker = 10'000;

} // namespace

ResultsModel::ResultsModel(QObject *parent) : QAbstractListModel(parent) {}

void ResultsModel::setPaths(const ResultPaths &paths, const QHash<QString, QDateTime> &offline)
{
    beginResetModel();
    ResultPaths old = std::exchange(m_paths, paths);
    QHash<QString, QDateTime> oldOffline = std::exchange(m_offline, offline);
    m_lines.fill({});
    endResetModel();
    // Freeing the walk's hundred thousand lines holds the GUI thread for milliseconds; a
    // worker lets go of them instead (where no one else holds them still). An index's
    // answer is folder numbers and frees at once.
    if (old.size() >= kFreedOnWorker)
        (void)QtConcurrent::run([old = std::move(old), oldOffline = std::move(oldOffline)] {});
}

void ResultsModel::setMatchText(const QString &text)
{
    if (text == m_matchText)
        return;
    m_matchText = text;
    if (!m_paths.isEmpty())
        emit dataChanged(index(0), index(rowCount() - 1), {SpansRole});
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_paths.size());
}

void ResultsModel::setTextWidth(const QFontMetrics &metrics, int width)
{
    m_metrics = metrics;
    m_textWidth = width;
    if (!m_paths.isEmpty())
        emit dataChanged(index(0), index(rowCount() - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
}

QString ResultsModel::note(const QString &path, const QString &shown) const
{
    QStringList notes;
    if (const auto offline = m_offline.constFind(path); offline != m_offline.cend())
        notes << tr("离线，最后见于 %1").arg(SearchIndex::shownTime(*offline));
    if (const QString encoding = FileNames::encodingNote(path); !encoding.isEmpty())
        notes << encoding;
    const QString said = notes.join(tr("；"));
    if (!m_metrics || m_metrics->horizontalAdvance(shown) <= m_textWidth)
        return said;
    return said.isEmpty() ? shown : shown + QLatin1Char('\n') + said;
}

const ResultsModel::Line &ResultsModel::line(qsizetype row) const
{
    Line &kept = m_lines[std::size_t(row) % m_lines.size()];
    if (kept.row != row) {
        kept.row = row;
        kept.path = m_paths.at(row);
        kept.shown = FileNames::readable(kept.path);
    }
    return kept;
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Line &line = this->line(index.row());
    const QString &path = line.path;
    switch (role) {
    case Qt::DisplayRole:
        return line.shown;
    case PathRole:
        return path;
    case SpansRole: {
        // The search matches folder names: only the last one is marked.
        const QString &shown = line.shown;
        const int name = int(shown.lastIndexOf(QLatin1Char('/'))) + 1;
        QList<MatchSpans::Span> spans = MatchSpans::find(shown.mid(name), m_matchText);
        for (MatchSpans::Span &span : spans)
            span.start += name;
        return QVariant::fromValue(spans);
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        if (const QString said = note(path, line.shown); !said.isEmpty())
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
