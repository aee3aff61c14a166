#include "disk/workerpool.h"
#include "folderview/foldermodel.h"
#include "folderview/shownfolder.h"
#include "folderviewfixture.h"
#include "heldlister.h"

#include <QAbstractItemModelTester>

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

// The folder shown through a lister the test holds back: the reading's
// workers, its pacing and the rows they fill.
class ShownFolderTest : public ::testing::Test {
protected:
    ShownFolderTest()
        : pool(WorkerPool::Limits{2, 5, 50ms, 20000ms}), lister(std::make_shared<HeldLister>()),
          shown(lister, pool), model(*shown.model()),
          tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal)
    {}
    ~ShownFolderTest() override
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
    bool waitForState(ShownFolder::State state) const
    {
        return QTest::qWaitFor([&] { return shown.state() == state; }, waitMs);
    }
    // Sets the folder and checks that the window's thread came straight back.
    void show(const QString &folder)
    {
        QElapsedTimer clock;
        clock.start();
        shown.setFolder(folder);
        EXPECT_LT(clock.elapsed(), 100) << folder.toStdString();
    }

    WorkerPool pool;
    std::shared_ptr<HeldLister> lister;
    ShownFolder shown;
    FolderModel &model;
    QAbstractItemModelTester tester;
};

TEST_F(ShownFolderTest, ShowsNamesOnceTheFolderAnswersWithoutTheWindowWaiting)
{
    lister->add(QStringLiteral("/share/A"), {{QStringLiteral("Film 10"), QStringLiteral("film 2")},
                                             {QStringLiteral("b.mkv"), QStringLiteral("A.txt")}});
    show(QStringLiteral("/share/A"));
    EXPECT_EQ(shown.state(), ShownFolder::State::Reading);
    // The window's event loop goes round while the share keeps quiet.
    QTest::qWait(100);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(lister->listCalls(QStringLiteral("/share/A")), 1);

    lister->open(QStringLiteral("/share/A"));
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("film 2"), QStringLiteral("Film 10"),
                                    QStringLiteral("A.txt"), QStringLiteral("b.mkv")}));
    // Sizes and dates came after the names, from the stat calls.
    EXPECT_FALSE(model.index(3, FolderModel::SizeColumn).data().toString().isEmpty());
    EXPECT_FALSE(model.index(0, FolderModel::DateColumn).data().toString().isEmpty());
    EXPECT_TRUE(model.index(0, FolderModel::SizeColumn).data().toString().isEmpty());
    // A flat table: nothing below any entry.
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 0);
}

TEST_F(ShownFolderTest, LateAnswersForAFolderNoLongerShownAreDropped)
{
    lister->add(QStringLiteral("/share/Old"), {{QStringLiteral("Stale")}, {QStringLiteral("x")}});
    lister->add(QStringLiteral("/share/New"), {{QStringLiteral("Fresh")}, {}});
    show(QStringLiteral("/share/Old"));
    show(QStringLiteral("/share/New"));
    lister->open(QStringLiteral("/share/New"));
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));

    lister->open(QStringLiteral("/share/Old"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return lister->listsDone(QStringLiteral("/share/Old")) == 1; }, waitMs));
    // Whatever the old reading posted has been delivered by now.
    QTest::qWait(200);
    EXPECT_EQ(names(), QStringList{QStringLiteral("Fresh")});
    EXPECT_EQ(shown.state(), ShownFolder::State::Complete);
}

// Shown, left and shown again while its worker was giving it up: the worker stopped
// before handing a name, so the folder is read again rather than shown empty.
TEST_F(ShownFolderTest, AFolderShownAgainAsItsReadingGaveUpIsReadAgain)
{
    const QString films = QStringLiteral("/share/Films");
    lister->add(films, {{QStringLiteral("Inside")}, {QStringLiteral("a.mkv")}, true, 0});
    lister->add(QStringLiteral("/share/Other"), {{QStringLiteral("Elsewhere")}, {}});
    lister->holdStoppedListing(films);
    lister->open(films);
    lister->open(QStringLiteral("/share/Other"));
    show(films);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lister->listCalls(films) == 1; }, waitMs));
    // Left before its first name: the worker, let go, stops there.
    show(QStringLiteral("/share/Other"));
    lister->resume(films);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lister->stoppedListingsHeld(films) == 1; }, waitMs));
    show(films);
    lister->openAll();
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Inside"), QStringLiteral("a.mkv")}));
}

TEST_F(ShownFolderTest, StuckWorkersDoNotStarveTheNextFolder)
{
    // More dead folders than the pool's first threads.
    for (const char *dead : {"/nas/one", "/nas/two", "/nas/three"})
        show(QLatin1String(dead));
    lister->add(QStringLiteral("/local"), {{QStringLiteral("Here")}, {QStringLiteral("a.mkv")}});
    lister->open(QStringLiteral("/local"));
    show(QStringLiteral("/local"));
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));
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
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));
    EXPECT_EQ(names(), QStringList{QStringLiteral("Awake")});
}

TEST_F(ShownFolderTest, ASilentFolderIsReportedAsNotAnsweringUntilItAnswers)
{
    shown.setQuietLimit(150ms);
    lister->add(QStringLiteral("/nas/sleepy"), {{QStringLiteral("Late")}, {}});
    QSignalSpy states(&shown, &ShownFolder::stateChanged);
    show(QStringLiteral("/nas/sleepy"));
    ASSERT_TRUE(waitForState(ShownFolder::State::NotAnswering));
    lister->open(QStringLiteral("/nas/sleepy"));
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));
    EXPECT_EQ(names(), QStringList{QStringLiteral("Late")});
    QList<ShownFolder::State> seen;
    for (const QList<QVariant> &signal : std::as_const(states))
        seen << signal.at(0).value<ShownFolder::State>();
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen.first(), ShownFolder::State::Reading);
    EXPECT_EQ(seen.at(1), ShownFolder::State::NotAnswering);
    EXPECT_EQ(seen.last(), ShownFolder::State::Complete);
}

TEST_F(ShownFolderTest, KindsMissingFromTheListingComeFromStatAndReorderTheRows)
{
    HeldLister::Contents contents{{QStringLiteral("zeta")}, {QStringLiteral("alpha.mkv")}};
    contents.kindsInListing = false;
    lister->add(QStringLiteral("/share/plain"), contents);
    lister->open(QStringLiteral("/share/plain"));
    show(QStringLiteral("/share/plain"));
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("zeta"), QStringLiteral("alpha.mkv")}));
    EXPECT_EQ(model.kind(0), EntryKind::Folder);

    EntryKind told = EntryKind::Unknown;
    shown.whenKindKnown(QStringLiteral("alpha.mkv"), [&](EntryKind kind) { told = kind; });
    EXPECT_EQ(told, EntryKind::File);
}

TEST_F(ShownFolderTest, AnEntryOpenedWhileFactsArriveMayChangeTheFolder)
{
    HeldLister::Contents contents;
    for (int i = 0; i < 10; ++i)
        contents.files << QStringLiteral("n%1").arg(i);
    contents.kindsInListing = false;
    lister->add(QStringLiteral("/share/plain"), contents);
    lister->add(QStringLiteral("/share/next"), {{QStringLiteral("Inside")}, {}});
    lister->open(QStringLiteral("/share/next"));
    // Two stat tasks, each handing in several names at once; the last name's
    // own stat answers only after theirs.
    lister->setSendsChangeNotices(true);
    lister->holdFirstFactsOf(QStringLiteral("n9"));
    show(QStringLiteral("/share/plain"));
    int calls = 0;
    EntryKind told = EntryKind::Unknown;
    // As the window does: opening a folder shows it.
    shown.whenKindKnown(QStringLiteral("n9"), [&](EntryKind kind) {
        ++calls;
        told = kind;
        shown.setFolder(QStringLiteral("/share/next"));
    });
    lister->open(QStringLiteral("/share/plain"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, waitMs));
    EXPECT_EQ(told, EntryKind::File);
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));
    EXPECT_EQ(names(), QStringList{QStringLiteral("Inside")});
    EXPECT_EQ(calls, 1);
}

TEST_F(ShownFolderTest, NamesReadBeforeAStallShowWhileItLasts)
{
    HeldLister::Contents contents;
    for (int i = 0; i <= 200; ++i)
        contents.files << QStringLiteral("f%1.mkv").arg(i);
    contents.stallAfter = 200;
    lister->add(QStringLiteral("/share/stalls"), contents);
    lister->open(QStringLiteral("/share/stalls"));
    show(QStringLiteral("/share/stalls"));
    // The names read come through while the share keeps the next one back.
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 200; }, 1000))
        << model.rowCount() << " rows";
    EXPECT_EQ(shown.state(), ShownFolder::State::Reading);
    lister->resume(QStringLiteral("/share/stalls"));
    ASSERT_TRUE(waitForState(ShownFolder::State::Complete));
    EXPECT_EQ(model.rowCount(), 201);
}

TEST_F(ShownFolderTest, SizesStreamingInReorderTheRowsAFewTimesASecond)
{
    HeldLister::Contents contents;
    for (int i = 0; i < 2000; ++i)
        contents.files << QStringLiteral("Film %1.mkv").arg(i);
    lister->add(QStringLiteral("/share/big"), contents);
    lister->setSizes([](const QString &name) { return qint64(qHash(name) % 100000); });
    lister->setFactsDelay(std::chrono::microseconds(2000));
    model.sort(FolderModel::SizeColumn, Qt::AscendingOrder);
    QItemSelectionModel selection(&model);
    show(QStringLiteral("/share/big"));
    lister->open(QStringLiteral("/share/big"));
    ASSERT_TRUE(waitForState(ShownFolder::State::Listed));
    const int chosen = model.rowOf(QStringLiteral("Film 1000.mkv"));
    selection.setCurrentIndex(model.index(chosen, 0), QItemSelectionModel::ClearAndSelect);
    QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return shown.state() == ShownFolder::State::Complete; }, 30000));
    const auto sortedBySize = [&] {
        for (int row = 1; row < model.rowCount(); ++row) {
            if (qHash(model.name(row - 1)) % 100000 > qHash(model.name(row)) % 100000)
                return false;
        }
        return true;
    };
    // The last order may follow the last facts by one interval.
    ASSERT_TRUE(QTest::qWaitFor(sortedBySize, waitMs));
    const qint64 elapsed = clock.elapsed();
    EXPECT_LE(layouts.count(), 3 + elapsed / 200) << "in " << elapsed << " ms";
    EXPECT_EQ(selection.currentIndex().data().toString(), QStringLiteral("Film 1000.mkv"));
}

// The real file system: changes while a local folder is shown.
using ShownFolderWatch = FolderViewTest;

TEST_F(ShownFolderWatch, ChangesArriveAsRowChangesThatKeepTheSelection)
{
    tree.mkdir(QStringLiteral("Films/Beta"));
    tree.writeFile(QStringLiteral("Films/old.mkv"), "x");
    ShownFolder shown;
    FolderModel &model = *shown.model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QItemSelectionModel selection(&model);
    shown.setFolder(tree.path(QStringLiteral("Films")));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return shown.state() == ShownFolder::State::Complete; }, waitMs));
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
        QTest::qWaitFor([&] { return shown.state() == ShownFolder::State::Failed; }, waitMs));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(shown.failure(), ENOENT);
}

} // namespace
} // namespace moviecat::test
