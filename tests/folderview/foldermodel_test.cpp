#include "folderview/foldermodel.h"
#include "folderview/workerpool.h"
#include "folderviewfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>

namespace moviecat::test {
namespace {

using namespace std::chrono_literals;

constexpr int waitMs = 5000;

// Folders that answer only once the test opens them, as a slow or sleeping
// share does. Each call notes whether it ran on the GUI thread.
class GatedLister : public FolderLister {
public:
    struct Contents {
        QStringList folders;
        QStringList files;
        bool kindsInListing = true; // false: as a file system without d_type
    };

    void add(const QString &folder, Contents contents)
    {
        std::lock_guard lock(m_mutex);
        m_contents[folder] = std::move(contents);
    }
    void open(const QString &folder)
    {
        {
            std::lock_guard lock(m_mutex);
            m_open.insert(folder);
        }
        m_changed.notify_all();
    }
    // Lets every call go, so that no worker outlives the test blocked.
    void openAll()
    {
        {
            std::lock_guard lock(m_mutex);
            m_allOpen = true;
        }
        m_changed.notify_all();
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
        for (const QString &name : contents.folders) {
            if (!each({name, contents.kindsInListing ? EntryKind::Folder : EntryKind::Unknown}))
                break;
        }
        for (const QString &name : contents.files) {
            if (!each({name, contents.kindsInListing ? EntryKind::File : EntryKind::Unknown}))
                break;
        }
        std::lock_guard lock(m_mutex);
        ++m_listsDone[folder];
        return 0;
    }
    EntryFacts facts(const QString &folder, const QString &name) override
    {
        const Contents contents = waitFor(folder, nullptr);
        if (contents.folders.contains(name))
            return {true, EntryKind::Folder, 0, 1000};
        if (contents.files.contains(name))
            return {true, EntryKind::File, 100 + name.size(), 2000};
        return {};
    }
    bool sendsChangeNotices(const QString &) override { return false; }

private:
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
    QHash<QString, int> m_listCalls;
    QHash<QString, int> m_listsDone;
    bool m_allOpen = false;
    std::atomic<bool> m_onGuiThread{false};
};

class FolderModelTest : public ::testing::Test {
protected:
    FolderModelTest()
        : pool(WorkerPool::Limits{2, 5, 50ms, 20000ms}), lister(std::make_shared<GatedLister>()),
          model(lister, pool)
    {}
    ~FolderModelTest() override
    {
        lister->openAll();
        EXPECT_FALSE(lister->calledOnGuiThread());
    }

    QStringList names() const
    {
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row, FolderModel::NameColumn).data().toString();
        return shown;
    }
    bool waitForState(FolderModel::State state) const
    {
        return QTest::qWaitFor([&] { return model.state() == state; }, waitMs);
    }
    // Sets the folder and checks that the window's thread came straight back.
    void show(const QString &folder)
    {
        QElapsedTimer clock;
        clock.start();
        model.setFolder(folder);
        EXPECT_LT(clock.elapsed(), 100) << folder.toStdString();
    }

    WorkerPool pool;
    std::shared_ptr<GatedLister> lister;
    FolderModel model;
};

TEST_F(FolderModelTest, ShowsNamesOnceTheFolderAnswersWithoutTheWindowWaiting)
{
    lister->add(QStringLiteral("/share/A"), {{QStringLiteral("Film 10"), QStringLiteral("film 2")},
                                             {QStringLiteral("b.mkv"), QStringLiteral("A.txt")}});
    show(QStringLiteral("/share/A"));
    EXPECT_EQ(model.state(), FolderModel::State::Reading);
    // The window's event loop goes round while the share keeps quiet.
    QTest::qWait(100);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(lister->listCalls(QStringLiteral("/share/A")), 1);

    lister->open(QStringLiteral("/share/A"));
    ASSERT_TRUE(waitForState(FolderModel::State::Complete));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("film 2"), QStringLiteral("Film 10"),
                                    QStringLiteral("A.txt"), QStringLiteral("b.mkv")}));
    // Sizes and dates came after the names, from the stat calls.
    EXPECT_FALSE(model.index(3, FolderModel::SizeColumn).data().toString().isEmpty());
    EXPECT_FALSE(model.index(0, FolderModel::DateColumn).data().toString().isEmpty());
    EXPECT_TRUE(model.index(0, FolderModel::SizeColumn).data().toString().isEmpty());
    // A flat table: nothing below any entry.
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 0);
}

TEST_F(FolderModelTest, LateAnswersForAFolderNoLongerShownAreDropped)
{
    lister->add(QStringLiteral("/share/Old"), {{QStringLiteral("Stale")}, {QStringLiteral("x")}});
    lister->add(QStringLiteral("/share/New"), {{QStringLiteral("Fresh")}, {}});
    show(QStringLiteral("/share/Old"));
    show(QStringLiteral("/share/New"));
    lister->open(QStringLiteral("/share/New"));
    ASSERT_TRUE(waitForState(FolderModel::State::Complete));

    lister->open(QStringLiteral("/share/Old"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return lister->listsDone(QStringLiteral("/share/Old")) == 1; }, waitMs));
    // Whatever the old reading posted has been delivered by now.
    QTest::qWait(200);
    EXPECT_EQ(names(), QStringList{QStringLiteral("Fresh")});
    EXPECT_EQ(model.state(), FolderModel::State::Complete);
}

TEST_F(FolderModelTest, StuckWorkersDoNotStarveTheNextFolder)
{
    // More dead folders than the pool's first threads.
    for (const char *dead : {"/nas/one", "/nas/two", "/nas/three"})
        show(QLatin1String(dead));
    lister->add(QStringLiteral("/local"), {{QStringLiteral("Here")}, {QStringLiteral("a.mkv")}});
    lister->open(QStringLiteral("/local"));
    show(QStringLiteral("/local"));
    ASSERT_TRUE(waitForState(FolderModel::State::Complete));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Here"), QStringLiteral("a.mkv")}));
    EXPECT_LE(pool.threadCount(), 5);

    // Going back to a folder that never answered waits on the same reading
    // instead of sending another worker to hang beside it.
    show(QStringLiteral("/nas/one"));
    show(QStringLiteral("/nas/one"));
    QTest::qWait(100);
    EXPECT_EQ(lister->listCalls(QStringLiteral("/nas/one")), 1);
    lister->add(QStringLiteral("/nas/one"), {{QStringLiteral("Awake")}, {}});
    lister->open(QStringLiteral("/nas/one"));
    ASSERT_TRUE(waitForState(FolderModel::State::Complete));
    EXPECT_EQ(names(), QStringList{QStringLiteral("Awake")});
}

TEST_F(FolderModelTest, ASilentFolderIsReportedAsNotAnsweringUntilItAnswers)
{
    model.setQuietLimit(150ms);
    lister->add(QStringLiteral("/nas/sleepy"), {{QStringLiteral("Late")}, {}});
    QSignalSpy states(&model, &FolderModel::stateChanged);
    show(QStringLiteral("/nas/sleepy"));
    ASSERT_TRUE(waitForState(FolderModel::State::NotAnswering));
    lister->open(QStringLiteral("/nas/sleepy"));
    ASSERT_TRUE(waitForState(FolderModel::State::Complete));
    EXPECT_EQ(names(), QStringList{QStringLiteral("Late")});
    QList<FolderModel::State> seen;
    for (const QList<QVariant> &signal : std::as_const(states))
        seen << signal.at(0).value<FolderModel::State>();
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen.first(), FolderModel::State::Reading);
    EXPECT_EQ(seen.at(1), FolderModel::State::NotAnswering);
    EXPECT_EQ(seen.last(), FolderModel::State::Complete);
}

TEST_F(FolderModelTest, KindsMissingFromTheListingComeFromStatAndReorderTheRows)
{
    GatedLister::Contents contents{{QStringLiteral("zeta")}, {QStringLiteral("alpha.mkv")}};
    contents.kindsInListing = false;
    lister->add(QStringLiteral("/share/plain"), contents);
    lister->open(QStringLiteral("/share/plain"));
    show(QStringLiteral("/share/plain"));
    ASSERT_TRUE(waitForState(FolderModel::State::Complete));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("zeta"), QStringLiteral("alpha.mkv")}));
    EXPECT_EQ(model.kind(0), EntryKind::Folder);

    EntryKind told = EntryKind::Unknown;
    model.whenKindKnown(QStringLiteral("alpha.mkv"), [&](EntryKind kind) { told = kind; });
    EXPECT_EQ(told, EntryKind::File);
}

// The real file system: changes while a local folder is shown.
using FolderModelWatch = FolderViewTest;

TEST_F(FolderModelWatch, ChangesArriveAsRowChangesThatKeepTheSelection)
{
    tree.mkdir(QStringLiteral("Films/Beta"));
    tree.writeFile(QStringLiteral("Films/old.mkv"), "x");
    FolderModel model;
    QItemSelectionModel selection(&model);
    model.setFolder(tree.path(QStringLiteral("Films")));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model.state() == FolderModel::State::Complete; }, waitMs));
    selection.setCurrentIndex(model.index(model.rowOf(QStringLiteral("Beta")), 0),
                              QItemSelectionModel::ClearAndSelect);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    tree.mkdir(QStringLiteral("Films/Alpha"));
    tree.writeFile(QStringLiteral("Films/new.mkv"), "xyz");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 4; }, waitMs));
    ASSERT_TRUE(QFile::remove(tree.path(QStringLiteral("Films/old.mkv"))));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model.rowOf(QStringLiteral("old.mkv")) < 0; }, waitMs));

    EXPECT_EQ(model.rowOf(QStringLiteral("Alpha")), 0);
    EXPECT_EQ(model.rowOf(QStringLiteral("Beta")), 1);
    EXPECT_EQ(model.rowOf(QStringLiteral("new.mkv")), 2);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(selection.currentIndex().data().toString(), QStringLiteral("Beta"));
    EXPECT_TRUE(selection.isSelected(model.index(1, 0)));

    // The folder itself goes: the rows go with it, and the model says why.
    ASSERT_TRUE(QDir(tree.path(QStringLiteral("Films"))).removeRecursively());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model.state() == FolderModel::State::Failed; }, waitMs));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.failure(), ENOENT);
}

} // namespace
} // namespace moviecat::test
