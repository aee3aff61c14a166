#pragma once

#include "folderview/folderreading.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace moviecat {

class FolderModel;
class FolderWatch;
class WorkerPool;

// The folder shown: its reading, its watch and its rows, wired together.
// What the reading finds goes into the model; the watch's notices are read
// again and applied the same way; a folder the watch loses is read afresh.
class ShownFolder : public QObject {
    Q_OBJECT
public:
    using State = FolderReading::State;

    explicit ShownFolder(QObject *parent = nullptr);
    ShownFolder(std::shared_ptr<FolderLister> lister, WorkerPool &pool, QObject *parent = nullptr);
    ~ShownFolder() override;

    // An absolute path with '/' separators; empty shows nothing. Returns at
    // once: the reading goes on in workers.
    void setFolder(const QString &folder);
    QString folder() const { return m_folder; }
    State state() const;
    // The errno of a failed reading.
    int failure() const;
    void setQuietLimit(std::chrono::milliseconds limit);

    FolderModel *model() const { return m_model; }
    // The shown folder's entry called name.
    QString pathOf(const QString &name) const;
    // Calls act once the entry's kind is known: now if it is, else from the
    // event loop once a stat has answered, never inside a change of the rows.
    // Dropped when the folder changes first.
    void whenKindKnown(const QString &name, std::function<void(EntryKind)> act);

signals:
    void stateChanged(moviecat::FolderReading::State state);

private:
    void factsArrived(const std::vector<NamedFacts> &facts);
    void changesArrived(const std::vector<FolderEntry> &present,
                        const std::vector<NamedFacts> &facts);

    FolderReading *m_reading;
    FolderWatch *m_watch;
    FolderModel *m_model;
    QString m_folder;
    // Moves on with every folder change; queued callbacks of an older one do nothing.
    quint64 m_generation = 0;
    QHash<QString, std::function<void(EntryKind)>> m_kindWaiters;
};

} // namespace moviecat
