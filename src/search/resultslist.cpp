#include "search/resultslist.h"

#include "search/resultrows.h"
#include "search/searchindex.h"
#include "ui/filenames.h"

#include <QListWidget>
#include <QMouseEvent>

namespace moviecat {

ResultsList::ResultsList(QListWidget *list, QObject *parent)
    : QObject(parent), m_list(list), m_rows(new ResultRows(list, this))
{
    m_rows->setDecorate([this](QListWidgetItem *, int row) { decorate(row); });
    m_list->viewport()->installEventFilter(this);
    m_list->setUniformItemSizes(true); // a hundred thousand lines load at once
    // A pick is a mouse click on a line, or the selection moved by the keys.
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { pick(m_list->row(item)); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_pressOnResults && !m_restoring)
            pick(row);
    });
}

const QStringList &ResultsList::paths() const
{
    return m_rows->paths();
}

void ResultsList::clear()
{
    m_rows->clear();
    m_offline.clear();
}

// The paths' own bytes stay for a pick. A line only the index vouches for is greyed and
// says since when; one whose name is not in the system's encoding says so.
void ResultsList::decorate(int row)
{
    QListWidgetItem *item = m_list->item(row);
    const QString &path = m_rows->paths().at(row);
    QStringList notes;
    const auto offline = m_offline.constFind(path);
    if (offline != m_offline.cend()) {
        notes << tr("离线，最后见于 %1").arg(SearchIndex::shownTime(*offline));
        item->setForeground(m_list->palette().color(QPalette::Disabled, QPalette::Text));
    }
    if (const QString note = FileNames::encodingNote(path); !note.isEmpty())
        notes << note;
    if (notes.isEmpty())
        return;
    const QString note = notes.join(tr("；"));
    item->setToolTip(note);
    item->setData(Qt::AccessibleDescriptionRole, note);
}

void ResultsList::replace(const QStringList &paths, const QHash<QString, QDateTime> &offline)
{
    if (paths == m_rows->paths() && offline == m_offline)
        return;
    const QString currentPath = m_rows->paths().value(m_list->currentRow());
    const QListWidgetItem *top = m_list->itemAt(0, 0);
    const QString topPath = top ? m_rows->paths().value(m_list->row(top)) : QString();

    m_restoring = true;
    m_offline = offline;
    m_rows->show(paths);
    // Marks "no current row" as chosen, so that keyboard focus arriving in the list
    // does not make the first line current, which would pick it unasked.
    m_list->setCurrentIndex(QModelIndex());
    if (!currentPath.isEmpty()) {
        if (const int row = int(paths.indexOf(currentPath)); row >= 0) {
            m_rows->loadThrough(row);
            m_list->setCurrentRow(row);
        }
    }
    if (!topPath.isEmpty()) {
        if (const int row = int(paths.indexOf(topPath)); row >= 0) {
            // The screen below it too, so that no blank shows before the next slice.
            m_rows->loadThrough(row + ResultRows::firstRows);
            m_list->scrollToItem(m_list->item(row), QAbstractItemView::PositionAtTop);
        }
    }
    m_restoring = false;
}

void ResultsList::pick(int row)
{
    if (row < 0 || row >= m_list->count())
        return;
    emit picked(m_rows->paths().value(row));
}

bool ResultsList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport())
        followMouse(event);
    return QObject::eventFilter(watched, event);
}

void ResultsList::followMouse(QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressOnResults = true;
        m_rowBeforePress = m_list->currentRow();
        m_pressedRow =
            m_list->indexAt(static_cast<QMouseEvent *>(event)->position().toPoint()).row();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pressOnResults = false; // the row changed at the press; the click picks it
        // A press dragged to another line (or off the lines) gives no click, yet the
        // highlight has moved: pick the line it now shows.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const int releasedRow = m_list->indexAt(mouse->position().toPoint()).row();
        const bool clickFollows =
            mouse->button() == Qt::LeftButton && releasedRow >= 0 && releasedRow == m_pressedRow;
        if (!clickFollows && m_list->currentRow() != m_rowBeforePress)
            pick(m_list->currentRow());
    }
}

} // namespace moviecat
