#include "folderview/navigationhistory.h"

#include "folderview/folderview.h"

#include <QDir>
#include <QListWidget>

namespace moviecat {

NavigationHistory::NavigationHistory(QListWidget *storage, FolderView *view, QObject *parent)
    : QObject(parent), m_storage(storage), m_view(view)
{
    Q_ASSERT(storage && view);
    m_storage->setSelectionMode(QAbstractItemView::SingleSelection);
    // Paths keep the order they were visited in.
    m_storage->setSortingEnabled(false);
}

void NavigationHistory::restart(const QString &path)
{
    m_storage->clear();
    m_storage->addItem(path);
    selectLast();
}

void NavigationHistory::enter()
{
    const QString shown = m_view->path();
    const QChar separator = QDir::separator();
    const QString target = shown.endsWith(separator) ? shown + m_view->itemName()
                                                     : shown + separator + m_view->itemName();
    m_view->setPath(target);
    // Record the view's own spelling of the folder, not the string built above.
    m_storage->addItem(m_view->path());
    selectLast();
}

void NavigationHistory::back()
{
    const int row = m_storage->currentRow();
    if (row <= 0)
        return;
    delete m_storage->takeItem(row);
    selectLast();
    m_view->setPath(current());
}

QString NavigationHistory::current() const
{
    const QListWidgetItem *item = m_storage->currentItem();
    return item ? item->text() : QString();
}

void NavigationHistory::selectLast()
{
    // With the last entry always selected, "one past the selection" and "the
    // last entry" are the same row; no 16-bit limit on how many there are.
    m_storage->setCurrentRow(m_storage->count() - 1);
}

} // namespace moviecat
