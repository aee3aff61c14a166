// The road of one search through the real window and the real helper process: launch,
// results, picking, the list toggle, and the ways a search can go wrong.
#include "windowfixture.h"

#include "app/navigationhistory.h"
#include "folderview/folderview.h"
#include "search/searchcontroller.h"
#include "ui/filenames.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace moviecat;

namespace {

class SearchTest : public moviecat::test::WindowFixture {
protected:
    void openCatalogue()
    {
        for (const char *folder : {"lib/action/Heat (1995)", "lib/action/Ronin (1998)/Heat extras",
                                   "lib/drama/Heat of the Night", "lib/drama/Paris, Texas"})
            tree.mkdir(QString::fromUtf8(folder));
        open("[movie]\nAction=" + tree.path(QStringLiteral("lib/action")).toUtf8() +
                 "\nDrama=" + tree.path(QStringLiteral("lib/drama")).toUtf8() + "/\n",
             /*show=*/true);
        box = find<QLineEdit>(QStringLiteral("Text1"));
        results = find<QListView>(QStringLiteral("List3"));
        toggle = find<QPushButton>(QStringLiteral("Command1"));
        view = find<FolderView>(QStringLiteral("ExplorerList1"));
        search = window->search();
    }

    void typeAndSearch(const QString &text)
    {
        QTest::mouseClick(box, Qt::LeftButton);
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command7")), Qt::LeftButton);
    }

    // A search over eighteen categories of 3,000 folders each: long enough that a signal
    // sent right after the launch reaches the helper before it can finish.
    qint64 startLongSearch()
    {
        for (int i = 0; i < 3000; ++i)
            tree.mkdir(QStringLiteral("big/Film %1").arg(i));
        tree.mkdir(QStringLiteral("big/Film 7/Heat (1995)"));
        QByteArray ini = "[movie]\n";
        for (int i = 0; i < 18; ++i)
            ini += "Big " + QByteArray::number(i) + "=" +
                   tree.path(QStringLiteral("big")).toUtf8() + "\n";
        open(ini, /*show=*/true);
        search = window->search();
        results = find<QListView>(QStringLiteral("List3"));
        box = find<QLineEdit>(QStringLiteral("Text1"));
        typeAndSearch(QStringLiteral("heat"));
        return helperOfThisSearch();
    }

    // The walk starts once the index has answered (or has had its moment).
    qint64 helperOfThisSearch() const
    {
        (void)QTest::qWaitFor([this] { return search->helperProcessId() != 0; }, 5000);
        return search->helperProcessId();
    }

    bool waitUntilIdle(int ms = 20000) const
    {
        QSignalSpy finished(search, &SearchController::finished);
        return !search->isBusy() || finished.wait(ms);
    }

    QList<QMessageBox *> notices() const
    {
        return window->findChildren<QMessageBox *>(QStringLiteral("problemMessage"));
    }

    QStringList resultLines() const { return moviecat::test::itemTexts(results); }
    int lineCount() const { return results->model()->rowCount(); }
    QModelIndex line(int row) const { return results->model()->index(row, 0); }

    QString lib(const char *relative) const
    {
        return tree.path(QStringLiteral("lib/") + QString::fromUtf8(relative));
    }

    QLineEdit *box = nullptr;
    QListView *results = nullptr;
    QPushButton *toggle = nullptr;
    FolderView *view = nullptr;
    SearchController *search = nullptr;
};

TEST_F(SearchTest, FindsMatchingFoldersInCategoryOrderAndShowsThemBesideANarrowView)
{
    openCatalogue();
    auto *busyPicture = find<QWidget>(QStringLiteral("Image9"));
    typeAndSearch(QStringLiteral("heat"));
    EXPECT_TRUE(search->isBusy());
    EXPECT_TRUE(toggle->isHidden());
    EXPECT_FALSE(busyPicture->isHidden());
    ASSERT_TRUE(waitUntilIdle());

    EXPECT_EQ(resultLines(),
              (QStringList{lib("action/Heat (1995)"), lib("action/Ronin (1998)/Heat extras"),
                           lib("drama/Heat of the Night")}));
    EXPECT_FALSE(results->isHidden());
    EXPECT_EQ(view->viewMode(), ViewMode::List);
    EXPECT_EQ(view->width(), 472);
    EXPECT_FALSE(toggle->isHidden());
    EXPECT_EQ(toggle->text(), QStringLiteral("隐藏搜索列表"));
    EXPECT_TRUE(busyPicture->isHidden());
    EXPECT_TRUE(notices().isEmpty()) << "nothing was skipped";
    // Nothing of the search, nor of the background indexing that shares the private
    // folder, stays on disk but the folder itself.
    ASSERT_TRUE(QTest::qWaitFor([this] { return search->indexerProcessId() == 0; }, 20000));
    EXPECT_EQ(QDir(search->scratchPath()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(QFileInfo(search->scratchPath()).permissions() & 0x0077, 0);
}

TEST_F(SearchTest, FirstPressClearsThePromptAndANewSearchReplacesTheOneUnderWay)
{
    openCatalogue();
    EXPECT_EQ(box->text(), QStringLiteral("输入影片名称"));
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(box->text(), QString());
    QTest::keyClicks(box, QStringLiteral("Paris"));
    QTest::mouseClick(box, Qt::LeftButton); // later presses leave the text alone
    EXPECT_EQ(box->text(), QStringLiteral("Paris"));

    auto *searchButton = find<QPushButton>(QStringLiteral("Command7"));
    QTest::mouseClick(searchButton, Qt::LeftButton);
    box->setText(QStringLiteral("Heat"));
    // A search never waits for the one before: the newer one is the one answered.
    QTest::mouseClick(searchButton, Qt::LeftButton);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(resultLines(),
              (QStringList{lib("action/Heat (1995)"), lib("action/Ronin (1998)/Heat extras"),
                           lib("drama/Heat of the Night")}));
}

TEST_F(SearchTest, PickingAResultOpensItAndRestartsTheHistory)
{
    openCatalogue();
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(lineCount(), 3);
    const NavigationHistory *history = window->history();

    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      results->visualRect(line(1)).center());
    EXPECT_EQ(view->path(), lib("action/Ronin (1998)/Heat extras"));
    EXPECT_EQ(history->paths(), QStringList{lib("action/Ronin (1998)/Heat extras")});

    QTest::keyClick(results, Qt::Key_Down);
    EXPECT_EQ(view->path(), lib("drama/Heat of the Night"));
    EXPECT_EQ(history->paths(), QStringList{lib("drama/Heat of the Night")});
    EXPECT_EQ(view->width(), 472); // a pick leaves the widths and the list alone
    EXPECT_FALSE(results->isHidden());
}

// Folders copied from Chinese Windows: GBK names and a stray Latin-1 byte are found by
// what they read, listed readably, and a pick opens the folder with the very bytes.
TEST_F(SearchTest, NamesThatAreNotUtf8AreFoundShownReadablyAndOpenedByTheirBytes)
{
    const QByteArray root = tree.mkdir(QStringLiteral("lib")).toUtf8();
    const QByteArray action = root + "/\xB6\xAF\xD7\xF7\xC6\xAC"; // 动作片
    const QByteArray dragon = action + "/dragon \xC1\xFA";        // dragon 龙
    const QByteArray cafe = root + "/Caf\xE9 Dragon";
    for (const QByteArray &folder : {action, dragon, cafe, root + "/Plain Dragon"})
        ASSERT_EQ(::mkdir(folder.constData(), 0755), 0) << folder.constData();
    open("[movie]\nFilms=" + root + "\n", /*show=*/true);
    box = find<QLineEdit>(QStringLiteral("Text1"));
    results = find<QListView>(QStringLiteral("List3"));
    search = window->search();
    auto *pathLabel = find<WindowlessLabel>(QStringLiteral("Label24"));

    QTest::mouseClick(box, Qt::LeftButton);
    box->setText(QStringLiteral("龙")); // the test keyboard types Latin-1 only
    QTest::mouseClick(find<QPushButton>(QStringLiteral("Command7")), Qt::LeftButton);
    ASSERT_TRUE(waitUntilIdle());
    const QString shownDragon = QString::fromUtf8(root) + QStringLiteral("/动作片/dragon 龙");
    ASSERT_EQ(resultLines(), QStringList{shownDragon});
    EXPECT_EQ(line(0).data(Qt::ToolTipRole).toString(),
              QStringLiteral("名称不是 UTF-8 编码，按 GBK 显示"));
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      results->visualRect(line(0)).center());
    EXPECT_EQ(FileNames::toBytes(window->history()->current()), dragon);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pathLabel->caption() == shownDragon; }, 2000))
        << pathLabel->caption().toStdString();

    typeAndSearch(QStringLiteral("dragon"));
    ASSERT_TRUE(waitUntilIdle());
    const QString shownCafe = QString::fromUtf8(root) + QStringLiteral("/Caf\\xE9 Dragon");
    EXPECT_EQ(resultLines(),
              (QStringList{shownCafe, QString::fromUtf8(root + "/Plain Dragon"), shownDragon}));
    EXPECT_EQ(line(0).data(Qt::ToolTipRole).toString(),
              QStringLiteral("名称不是 UTF-8 编码，含无法解码的字节"));
    EXPECT_TRUE(line(1).data(Qt::ToolTipRole).toString().isEmpty());
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      results->visualRect(line(0)).center());
    EXPECT_EQ(FileNames::toBytes(window->history()->current()), cafe);
}

TEST_F(SearchTest, PressingOnOneLineAndReleasingOnAnotherPicksTheHighlightedLine)
{
    openCatalogue();
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(lineCount(), 3);
    QWidget *viewport = results->viewport();
    const QPoint first = results->visualRect(line(0)).center();
    const QPoint last = results->visualRect(line(2)).center();

    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    QTest::mouseMove(viewport, last);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, last);
    ASSERT_EQ(results->currentIndex().row(), 2);
    EXPECT_EQ(view->path(), lib("drama/Heat of the Night"));
}

TEST_F(SearchTest, TabbingIntoTheResultsPicksNothingUntilAnArrowKey)
{
    openCatalogue();
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(waitUntilIdle());
    const QString before = view->path();
    const QStringList entries = window->history()->paths();

    window->activateWindow();
    results->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([this] { return results->hasFocus(); }, 2000));
    EXPECT_EQ(view->path(), before);
    EXPECT_EQ(window->history()->paths(), entries);
    // The first arrow key picks the first line.
    QTest::keyClick(results, Qt::Key_Down);
    EXPECT_EQ(view->path(), lib("action/Heat (1995)"));
    EXPECT_EQ(window->history()->paths(), QStringList{lib("action/Heat (1995)")});
}

TEST_F(SearchTest, ToggleFollowsTheListsVisibilityNotItsCaption)
{
    openCatalogue();
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(waitUntilIdle());
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_TRUE(results->isHidden());
    EXPECT_EQ(toggle->text(), QStringLiteral("显示搜索列表"));
    EXPECT_EQ(view->width(), 848);

    // The next search shows the list again but leaves the caption as it was.
    typeAndSearch(QStringLiteral("paris"));
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_FALSE(results->isHidden());
    EXPECT_EQ(toggle->text(), QStringLiteral("显示搜索列表"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_TRUE(results->isHidden());
    EXPECT_EQ(toggle->text(), QStringLiteral("显示搜索列表"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(results->isHidden());
    EXPECT_EQ(toggle->text(), QStringLiteral("隐藏搜索列表"));
    EXPECT_EQ(resultLines(), QStringList{lib("drama/Paris, Texas")});
}

TEST_F(SearchTest, TextThatCannotBeSearchedIsRefusedWithAMessage)
{
    openCatalogue();
    QSignalSpy problems(search, &SearchController::problem);
    typeAndSearch(QStringLiteral("say \"hi\""));
    EXPECT_EQ(problems.count(), 1);
    EXPECT_FALSE(search->isBusy());
    EXPECT_FALSE(find<QTimer>(QStringLiteral("Timer2"))->isActive());
    EXPECT_TRUE(results->isHidden());
}

TEST_F(SearchTest, ResultsArriveWhenTheHelperExitsWithoutWaitingForThePoll)
{
    openCatalogue();
    QSignalSpy finished(search, &SearchController::finished);
    typeAndSearch(QStringLiteral("heat"));
    // Only the helper's exit is left to end the search.
    find<QTimer>(QStringLiteral("Timer2"))->stop();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(finished.first().first().toStringList(), resultLines());
    EXPECT_EQ(lineCount(), 3);
    EXPECT_FALSE(search->isBusy());
}

TEST_F(SearchTest, FoldersTheHelperLeftOutAreNamedInOneNoticeAfterTheResults)
{
    tree.mkdir(QStringLiteral("lib/action/Heat (1995)"));
    tree.mkdir(QStringLiteral("lib/action/Heat\nbroken"));
    tree.mkdir(QStringLiteral("lib/drama/Heat of the Night"));
    const QString missing = tree.path(QStringLiteral("lib/gone"));
    open("[movie]\nAction=" + tree.path(QStringLiteral("lib/action")).toUtf8() + "\nGone=" +
             missing.toUtf8() + "\nDrama=" + tree.path(QStringLiteral("lib/drama")).toUtf8() + "\n",
         /*show=*/true);
    search = window->search();
    box = find<QLineEdit>(QStringLiteral("Text1"));
    results = find<QListView>(QStringLiteral("List3"));
    int resultsWhenNoticeCame = -1;
    QObject::connect(search, &SearchController::foldersSkipped,
                     [this, &resultsWhenNoticeCame] { resultsWhenNoticeCame = lineCount(); });
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !notices().isEmpty(); }, 5000));

    EXPECT_EQ(resultLines(),
              (QStringList{lib("action/Heat (1995)"), lib("drama/Heat of the Night")}));
    EXPECT_EQ(resultsWhenNoticeCame, 2) << "the notice follows the loaded results";
    ASSERT_EQ(notices().size(), 1);
    QMessageBox *notice = notices().first();
    EXPECT_FALSE(notice->isModal());
    EXPECT_TRUE(notice->text().contains(QLatin1Char('2'))) << notice->text().toStdString();
    const QString details = notice->detailedText();
    EXPECT_TRUE(details.contains(missing)) << details.toStdString();
    EXPECT_TRUE(details.contains(lib("action/Heat\\nbroken"))) << details.toStdString();
    EXPECT_EQ(details.count(QLatin1Char('\n')), 1) << details.toStdString();
}

TEST_F(SearchTest, HelperThatDiesMidSearchEndsItWithWhatItWrote)
{
    const qint64 pid = startLongSearch();
    ASSERT_GT(pid, 0);
    QSignalSpy problems(search, &SearchController::problem);
    ::kill(pid_t(pid), SIGKILL);
    ASSERT_TRUE(waitUntilIdle(5000));
    EXPECT_EQ(problems.count(), 1);
    EXPECT_FALSE(results->isHidden());
    EXPECT_FALSE(find<QTimer>(QStringLiteral("Timer2"))->isActive());
    // Whatever it found before it died is a prefix of the full answer, one line a category.
    const QStringList lines = resultLines();
    EXPECT_LT(lines.size(), 18);
    for (const QString &line : lines)
        EXPECT_EQ(line, tree.path(QStringLiteral("big/Film 7/Heat (1995)")));
}

TEST_F(SearchTest, AResultFileThatCannotBeWrittenWholeEndsTheSearchAndSaysWhy)
{
    openCatalogue();
    for (int i = 0; i < 40; ++i)
        tree.mkdir(QStringLiteral("lib/drama/Heat %1").arg(i));
    // The helper inherits a limit on the size of the files it writes: the batch fits, the
    // results do not. Past it, writes fail instead of raising SIGXFSZ.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QSignalSpy problems(search, &SearchController::problem);
    typeAndSearch(QStringLiteral("heat"));
    const bool idle = waitUntilIdle();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(idle);
    ASSERT_EQ(problems.count(), 1);
    const QString message = problems.first().first().toString();
    EXPECT_TRUE(message.contains(QString::fromUtf8(std::strerror(EFBIG)))) << message.toStdString();
    // What was written is shown: the first lines of the full answer.
    EXPECT_GT(lineCount(), 0);
    EXPECT_LT(lineCount(), 43);
    EXPECT_EQ(line(0).data().toString(), lib("action/Heat (1995)"));
    EXPECT_FALSE(results->isHidden());
    EXPECT_FALSE(toggle->isHidden());
}

TEST_F(SearchTest, MissingResultFileEndsTheSearchWithAnEmptyListAndAMessage)
{
    const qint64 pid = startLongSearch();
    ASSERT_GT(pid, 0);
    QSignalSpy problems(search, &SearchController::problem);
    // Freeze the helper, then take both files away as if the batch had finished and the
    // result file had been lost.
    ::kill(pid_t(pid), SIGSTOP);
    QFile::remove(search->resultFile());
    QFile::remove(search->batchFile());
    ASSERT_TRUE(waitUntilIdle(5000));
    ::kill(pid_t(pid), SIGKILL);
    EXPECT_EQ(problems.count(), 1);
    EXPECT_EQ(lineCount(), 0);
    EXPECT_FALSE(results->isHidden());
}

// A helper can still be running when its batch is gone (it has only to exit), and the
// next search then lets it go: that must not end the new search before it starts.
TEST_F(SearchTest, AHelperStillExitingDoesNotEndTheNextSearch)
{
    const qint64 pid = startLongSearch();
    ASSERT_GT(pid, 0);
    ::kill(pid_t(pid), SIGSTOP);
    ASSERT_TRUE(QFile::remove(search->batchFile()));
    ASSERT_TRUE(waitUntilIdle(5000));
    QSignalSpy problems(search, &SearchController::problem);
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(problems.count(), 0)
        << (problems.isEmpty() ? std::string() : problems.first().first().toString().toStdString());
    EXPECT_EQ(lineCount(), 18);
}

TEST_F(SearchTest, AScratchFolderSweptAwayBetweenSearchesIsMadeAgain)
{
    openCatalogue();
    typeAndSearch(QStringLiteral("paris"));
    ASSERT_TRUE(waitUntilIdle());
    // A temporary-files cleaner removes the idle folder while the program runs.
    ASSERT_TRUE(QDir(search->scratchPath()).removeRecursively());
    QSignalSpy problems(search, &SearchController::problem);
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(problems.count(), 0);
    EXPECT_EQ(lineCount(), 3);
}

// A search answered from the index at once, while the walk it confirms is held back; then
// the list becomes the walk's answer, the selection staying on its path.
TEST_F(SearchTest, TheIndexAnswersAtOnceAndTheWalkHasTheLastWord)
{
    startLongSearch();
    ASSERT_TRUE(waitUntilIdle(60000)); // this walk writes the index
    // And the indexer started with the window may write it again: it must not do that
    // after the folder below is made.
    ASSERT_TRUE(QTest::qWaitFor([this] { return search->indexerProcessId() == 0; }, 60000));
    const QStringList walked = resultLines();
    ASSERT_EQ(walked.size(), 18);
    view = find<FolderView>(QStringLiteral("ExplorerList1"));
    auto *status = find<QLabel>(QStringLiteral("IndexStatus"));
    QSignalSpy picks(search, &SearchController::picked);

    tree.mkdir(QStringLiteral("big/Film 1/Heat 2")); // not in the index yet
    typeAndSearch(QStringLiteral("heat"));
    const qint64 pid = helperOfThisSearch();
    ASSERT_GT(pid, 0);
    ::kill(pid_t(pid), SIGSTOP);
    ASSERT_TRUE(QTest::qWaitFor([this] { return lineCount() == 18; }, 5000));
    EXPECT_TRUE(search->isBusy());
    EXPECT_EQ(resultLines(), walked);
    EXPECT_FALSE(results->isHidden());
    EXPECT_EQ(view->viewMode(), ViewMode::List);
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("找到 18 个；索引结果（")))
        << status->text().toStdString();
    EXPECT_TRUE(status->text().endsWith(QStringLiteral("），正在核对…")));
    EXPECT_EQ(results->accessibleDescription(), status->text());
    EXPECT_FALSE(status->accessibleName().isEmpty());
    results->setCurrentIndex(line(5));
    const qsizetype picked = picks.count();

    ::kill(pid_t(pid), SIGCONT);
    ASSERT_TRUE(waitUntilIdle(60000));
    ASSERT_EQ(lineCount(), 36);
    EXPECT_EQ(line(0).data().toString(), tree.path(QStringLiteral("big/Film 1/Heat 2")));
    EXPECT_EQ(results->currentIndex().data().toString(), walked[5])
        << "the selection stays on its path";
    EXPECT_EQ(picks.count(), picked) << "rebuilding the list picks nothing";
    EXPECT_EQ(status->text(), QStringLiteral("找到 36 个；已核对"));
    EXPECT_EQ(results->accessibleDescription(), status->text());
}

// Typing asks the loaded indexes alone: the list follows each text without a helper,
// Enter runs the walk that has the last word, and an emptied box empties the list.
TEST_F(SearchTest, TypingAnswersFromTheIndexAndEnterRunsTheWalk)
{
    startLongSearch();
    ASSERT_TRUE(waitUntilIdle(60000)); // this walk writes the index
    ASSERT_TRUE(QTest::qWaitFor([this] { return search->indexerProcessId() == 0; }, 60000));
    auto *status = find<QLabel>(QStringLiteral("IndexStatus"));
    box->clear();
    EXPECT_EQ(lineCount(), 0);

    tree.mkdir(QStringLiteral("big/Film 1/Heat 2")); // not in the index yet
    QTest::keyClicks(box, QStringLiteral("heat"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return lineCount() == 18; }, 5000));
    EXPECT_FALSE(search->isBusy());
    for (const QProcess *helper : search->findChildren<QProcess *>())
        EXPECT_EQ(helper->state(), QProcess::NotRunning) << "no helper runs while typing";
    EXPECT_FALSE(results->isHidden());
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("找到 18 个；索引结果（")))
        << status->text().toStdString();

    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(search->isBusy());
    ASSERT_TRUE(waitUntilIdle(60000));
    EXPECT_EQ(lineCount(), 36);
    EXPECT_EQ(line(0).data().toString(), tree.path(QStringLiteral("big/Film 1/Heat 2")));

    box->clear();
    EXPECT_EQ(lineCount(), 0);
    EXPECT_TRUE(status->isHidden());
}

// A new search while a walk is stuck: answered from the index at once, and whatever the
// old helper writes when it wakes up never reaches the list.
TEST_F(SearchTest, ANewSearchDuringAStuckWalkAnswersAtOnceAndIgnoresTheOldHelper)
{
    startLongSearch();
    ASSERT_TRUE(waitUntilIdle(60000));
    typeAndSearch(QStringLiteral("film 7"));
    const qint64 old = helperOfThisSearch();
    ASSERT_GT(old, 0);
    ::kill(pid_t(old), SIGSTOP);
    const QString oldResults = search->resultFile();

    typeAndSearch(QStringLiteral("heat"));
    EXPECT_NE(helperOfThisSearch(), old);
    EXPECT_NE(search->resultFile(), oldResults) << "each search has its own files";
    ASSERT_TRUE(QTest::qWaitFor([this] { return lineCount() == 18; }, 5000));
    ::kill(pid_t(old), SIGCONT);
    ASSERT_TRUE(waitUntilIdle(60000));
    EXPECT_EQ(lineCount(), 18);
    for (int row = 0; row < lineCount(); ++row)
        EXPECT_EQ(line(row).data().toString(), tree.path(QStringLiteral("big/Film 7/Heat (1995)")));
}

TEST_F(SearchTest, ClosingTheWindowStopsTheHelperAndRemovesTheScratchFolder)
{
    const qint64 pid = startLongSearch();
    ASSERT_GT(pid, 0);
    ::kill(pid_t(pid), SIGSTOP); // still "running" when the window goes
    const QString scratch = search->scratchPath();
    ASSERT_TRUE(QFileInfo::exists(scratch));
    window.reset();
    EXPECT_FALSE(QFileInfo::exists(scratch));
    EXPECT_NE(::kill(pid_t(pid), 0), 0); // gone, and reaped
}

} // namespace
