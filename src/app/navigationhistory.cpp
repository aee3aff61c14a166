#include "app/navigationhistory.h"

#include "disk/folderlister.h"

#include <QDir>

namespace moviecat {

NavigationHistory::NavigationHistory(QObject *parent) : QObject(parent) {}

void NavigationHistory::restart(const QString &path)
{
    m_paths = {path};
    emit currentChanged(path);
}

void NavigationHistory::enter(const QString &path)
{
    m_paths.append(path);
    emit currentChanged(path);
}

void NavigationHistory::back()
{
    if (m_paths.size() <= 1)
        return;
    m_paths.removeLast();
    emit currentChanged(m_paths.last());
}

QString NavigationHistory::current() const
{
    return m_paths.isEmpty() ? QString() : m_paths.last();
}

QString childFolder(const QString &folder, const QString &name)
{
    // String work only: cleanPath touches no disk. A root keeps its one separator.
    return QDir::toNativeSeparators(
        QDir::cleanPath(joinPath(QDir::fromNativeSeparators(folder), name)));
}

} // namespace moviecat
