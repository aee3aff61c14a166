#pragma once

#include "disk/folderlister.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace moviecat::test {

// Folders that answer only once the test opens them, as a slow or sleeping
// share does. Each call notes whether it ran on the GUI thread.
class HeldLister : public FolderLister {
public:
    struct Contents {
        QStringList folders;
        QStringList files;
        bool kindsInListing = true; // false: as a file system without d_type
        // After this many names the listing stalls until resume(); -1: never.
        int stallAfter = -1;
    };

    void add(const QString &folder, Contents contents)
    {
        std::lock_guard lock(m_mutex);
        m_contents[folder] = std::move(contents);
    }
    void open(const QString &folder)
    {
        change([&] { m_open.insert(folder); });
    }
    void resume(const QString &folder)
    {
        change([&] { m_resumed.insert(folder); });
    }
    // Lets every call go, so that no worker outlives the test blocked.
    void openAll()
    {
        change([&] { m_allOpen = true; });
    }
    // A listing of this folder that was stopped early (its receiver said no more) does
    // not return until openAll(): the moment after a worker has given up a folder.
    void holdStoppedListing(const QString &folder)
    {
        change([&] { m_holdStopped.insert(folder); });
    }
    // Listings of the folder held that way now.
    int stoppedListingsHeld(const QString &folder) const
    {
        std::lock_guard lock(m_mutex);
        return m_stoppedHeld.value(folder);
    }
    // The first stat of this name waits until openAll(); later ones answer.
    void holdFirstFactsOf(const QString &name)
    {
        change([&] { m_heldNames.insert(name); });
    }
    // Answers as local disks do (which watch and stat fewer at a time).
    void setSendsChangeNotices(bool sends) { m_notices = sends; }
    void setFactsDelay(std::chrono::microseconds delay) { m_factsDelay = delay; }
    void setSizes(std::function<qint64(const QString &)> size)
    {
        std::lock_guard lock(m_mutex);
        m_size = std::move(size);
    }

    int listCalls(const QString &folder) const
    {
        std::lock_guard lock(m_mutex);
        return m_listCalls.value(folder);
    }
    int listsDone(const QString &folder) const
    {
        std::lock_guard lock(m_mutex);
        return m_listsDone.value(folder);
    }
    bool calledOnGuiThread() const { return m_onGuiThread; }

    int list(const QString &folder, const std::function<bool(ListedName &&)> &each) override
    {
        const Contents contents = waitFor(folder, &m_listCalls);
        int count = 0;
        const auto hand = [&](const QString &name, EntryKind kind) {
            if (count++ == contents.stallAfter) {
                std::unique_lock lock(m_mutex);
                m_changed.wait_for(lock, std::chrono::seconds(30),
                                   [&] { return m_allOpen || m_resumed.contains(folder); });
            }
            return each({name, contents.kindsInListing ? kind : EntryKind::Unknown});
        };
        bool going = true;
        for (const QString &name : contents.folders) {
            if (going)
                going = hand(name, EntryKind::Folder);
        }
        for (const QString &name : contents.files) {
            if (going)
                going = hand(name, EntryKind::File);
        }
        std::unique_lock lock(m_mutex);
        if (!going && m_holdStopped.contains(folder)) {
            ++m_stoppedHeld[folder];
            m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_allOpen; });
            --m_stoppedHeld[folder];
        }
        ++m_listsDone[folder];
        return 0;
    }
    EntryFacts facts(const QString &folder, const QString &name) override
    {
        const Contents contents = waitFor(folder, nullptr);
        if (m_factsDelay.load().count() > 0)
            std::this_thread::sleep_for(m_factsDelay.load());
        std::function<qint64(const QString &)> size;
        {
            std::unique_lock lock(m_mutex);
            if (m_heldNames.remove(name))
                m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_allOpen; });
            size = m_size;
        }
        if (contents.folders.contains(name))
            return {true, EntryKind::Folder, 0, 1000};
        if (contents.files.contains(name))
            return {true, EntryKind::File, size ? size(name) : 100 + name.size(), 2000};
        return {};
    }
    bool sendsChangeNotices(const QString &) override { return m_notices; }

private:
    template <typename Change> void change(Change apply)
    {
        {
            std::lock_guard lock(m_mutex);
            apply();
        }
        m_changed.notify_all();
    }
    Contents waitFor(const QString &folder, QHash<QString, int> *calls)
    {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            m_onGuiThread = true;
        std::unique_lock lock(m_mutex);
        if (calls)
            ++(*calls)[folder];
        // A call on the GUI thread would hang the test for ever; this lets it fail instead.
        m_changed.wait_for(lock, std::chrono::seconds(30),
                           [&] { return m_allOpen || m_open.contains(folder); });
        return m_contents.value(folder);
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QHash<QString, Contents> m_contents;
    QSet<QString> m_open;
    QSet<QString> m_resumed;
    QSet<QString> m_heldNames;
    QSet<QString> m_holdStopped;
    QHash<QString, int> m_stoppedHeld;
    QHash<QString, int> m_listCalls;
    QHash<QString, int> m_listsDone;
    std::function<qint64(const QString &)> m_size;
    bool m_allOpen = false;
    std::atomic<bool> m_notices{false};
    std::atomic<std::chrono::microseconds> m_factsDelay{std::chrono::microseconds(0)};
    std::atomic<bool> m_onGuiThread{false};
};

} // namespace moviecat::test
