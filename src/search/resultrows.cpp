#include "search/resultrows.h"

#include "ui/filenames.h"

#include <QElapsedTimer>
#include <QListWidget>

namespace moviecat {

namespace {

// A slice stops after this long, so no event waits longer for it.
constexpr qint64 sliceNs = 8'000'000;
constexpr qsizetype sliceRows = 512; // the clock is read between batches of this many

} // namespace

ResultRows::ResultRows(QListWidget *list, QObject *parent) : QObject(parent), m_list(list)
{
    m_step.setInterval(0);
    connect(&m_step, &QTimer::timeout, this, &ResultRows::loadSlice);
}

void ResultRows::show(const QStringList &paths)
{
    m_step.stop();
    m_list->clear();
    m_paths = paths;
    m_loaded = 0;
    append(std::min<qsizetype>(firstRows, m_paths.size()));
    if (!isComplete())
        m_step.start();
}

void ResultRows::loadThrough(int row)
{
    if (row >= m_loaded)
        append(std::min<qsizetype>(row + 1, m_paths.size()));
    if (isComplete())
        m_step.stop();
}

void ResultRows::loadSlice()
{
    QElapsedTimer clock;
    clock.start();
    while (!isComplete() && clock.nsecsElapsed() < sliceNs)
        append(std::min(m_loaded + sliceRows, m_paths.size()));
    if (isComplete())
        m_step.stop();
}

void ResultRows::append(qsizetype end)
{
    if (end <= m_loaded)
        return;
    QStringList shown;
    shown.reserve(end - m_loaded);
    for (qsizetype row = m_loaded; row < end; ++row)
        shown << FileNames::readable(m_paths.at(row));
    const qsizetype first = m_loaded;
    m_list->addItems(shown);
    m_loaded = end;
    if (!m_decorate)
        return;
    for (qsizetype row = first; row < end; ++row)
        m_decorate(m_list->item(int(row)), int(row));
}

} // namespace moviecat
