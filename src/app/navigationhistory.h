#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace moviecat {

// The folders shown since the last fresh start, oldest first. The current folder is
// always the last one: Back drops it and goes to the one before. Whoever shows folders
// follows currentChanged; the history itself knows nothing of the view.
class NavigationHistory : public QObject {
    Q_OBJECT
public:
    explicit NavigationHistory(QObject *parent = nullptr);

    // Starts over at path, forgetting every folder before it.
    void restart(const QString &path);
    // Records a folder opened from the current one.
    void enter(const QString &path);
    // Returns to the previous folder; the first folder is never removed.
    void back();

    // The folder shown now, empty while the history is empty.
    QString current() const;
    // Every folder from the first to the current one.
    const QStringList &paths() const { return m_paths; }

signals:
    void currentChanged(const QString &path);

private:
    QStringList m_paths;
};

// The folder an entry named name opens into: joined with one separator and cleaned the
// way the folder view spells its paths, so the history records what the view shows.
QString childFolder(const QString &folder, const QString &name);

} // namespace moviecat
