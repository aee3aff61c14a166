#include "folderview/shownfolder.h"

#include "disk/workerpool.h"
#include "folderview/foldermodel.h"
#include "folderview/folderwatch.h"

namespace moviecat {

ShownFolder::ShownFolder(QObject *parent)
    : ShownFolder(systemFolderLister(), WorkerPool::shared(), parent)
{}

ShownFolder::ShownFolder(std::shared_ptr<FolderLister> lister, WorkerPool &pool, QObject *parent)
    : QObject(parent), m_reading(new FolderReading(std::move(lister), pool, this)),
      m_watch(new FolderWatch(this)), m_model(new FolderModel(this))
{
    connect(m_reading, &FolderReading::namesArrived, m_model, &FolderModel::addRows);
    connect(m_reading, &FolderReading::factsArrived, this, &ShownFolder::factsArrived);
    connect(m_reading, &FolderReading::changesArrived, this, &ShownFolder::changesArrived);
    connect(m_reading, &FolderReading::watchOpened, m_watch, &FolderWatch::watch);
    connect(m_reading, &FolderReading::stateChanged, this, [this](State state) {
        if (state == State::Complete)
            m_model->settleOrder();
        emit stateChanged(state);
    });
    connect(m_watch, &FolderWatch::entriesChanged, m_reading, &FolderReading::recheck);
    // Lost track, or the folder itself went: read the path afresh.
    connect(m_watch, &FolderWatch::lost, this, [this] { setFolder(m_folder); });
}

ShownFolder::~ShownFolder() = default;

void ShownFolder::setFolder(const QString &folder)
{
    ++m_generation;
    m_kindWaiters.clear();
    m_watch->stop();
    m_folder = folder;
    // Rows go before the reading starts: the views must not show the old
    // folder's entries under the new one's state.
    m_model->clear();
    m_reading->start(folder);
}

ShownFolder::State ShownFolder::state() const
{
    return m_reading->state();
}

int ShownFolder::failure() const
{
    return m_reading->failure();
}

void ShownFolder::setQuietLimit(std::chrono::milliseconds limit)
{
    m_reading->setQuietLimit(limit);
}

QString ShownFolder::pathOf(const QString &name) const
{
    return joinPath(m_folder, name);
}

void ShownFolder::whenKindKnown(const QString &name, std::function<void(EntryKind)> act)
{
    const EntryKind known = m_model->kind(m_model->rowOf(name));
    if (known != EntryKind::Unknown || m_folder.isEmpty()) {
        act(known);
        return;
    }
    m_kindWaiters.insert(name, std::move(act));
    m_reading->stat({name});
}

void ShownFolder::factsArrived(const std::vector<NamedFacts> &facts)
{
    m_model->applyFacts(facts);
    if (m_kindWaiters.isEmpty())
        return;
    std::vector<std::pair<std::function<void(EntryKind)>, EntryKind>> ready;
    for (const auto &[name, fact] : facts) {
        if (auto waiter = m_kindWaiters.find(name); waiter != m_kindWaiters.end()) {
            ready.emplace_back(std::move(*waiter), fact.exists ? fact.kind : EntryKind::Unknown);
            m_kindWaiters.erase(waiter);
        }
    }
    if (ready.empty())
        return;
    // A callback may show another folder; the batch has been applied by then
    // and whatever comes after it belongs to the new folder.
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation, ready = std::move(ready)] {
            for (const auto &[act, kind] : ready) {
                if (generation != m_generation)
                    return;
                act(kind);
            }
        },
        Qt::QueuedConnection);
}

void ShownFolder::changesArrived(const std::vector<FolderEntry> &present,
                                 const std::vector<NamedFacts> &facts)
{
    m_model->applyFacts(facts);
    m_model->addRows(present);
}

} // namespace moviecat
