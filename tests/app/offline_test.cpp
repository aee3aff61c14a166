// A share switched off between two searches, through the real window, the real helper and
// a real FUSE share: what the index knew of it stays in the results, marked as offline,
// and picking such a line shows the share not answering without holding the window.
#include "windowfixture.h"

#include "app/navigationhistory.h"
#include "search/searchcontroller.h"
#include "slowshare.h"

#include <QBrush>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace moviecat;

namespace {

constexpr int kDeadlineMs = 1000; // the helper's deadline for a folder that does not answer

// Should the window's thread hang on the share, the share is aborted so the test can end,
// and the hang is reported.
class FreezeWatch {
public:
    FreezeWatch(const test::SlowShare &share, int limitMs)
        : m_thread([this, &share, limitMs] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::milliseconds(limitMs),
                                   [this] { return m_finished; })) {
                  m_frozen = true;
                  share.abort();
              }
          })
    {}
    // Whether the window's thread got here late.
    bool finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
        return m_frozen;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::atomic<bool> m_frozen = false;
    std::thread m_thread;
};

class OfflineTest : public test::WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        qputenv("MOVIECAT_FOLDER_DEADLINE_MS", QByteArray::number(kDeadlineMs));
    }
    void TearDown() override
    {
        // Whatever is still stuck on the share is let go before the window goes.
        if (share)
            share->abort();
        window.reset();
        share.reset();
        qunsetenv("MOVIECAT_FOLDER_DEADLINE_MS");
    }

    void typeAndSearch(const QString &text)
    {
        auto *box = find<QLineEdit>(QStringLiteral("Text1"));
        QTest::mouseClick(box, Qt::LeftButton);
        box->setText(text);
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command7")), Qt::LeftButton);
    }
    bool waitUntilIdle(int ms)
    {
        QSignalSpy finished(window->search(), &SearchController::finished);
        return !window->search()->isBusy() || finished.wait(ms);
    }

    std::unique_ptr<test::SlowShare> share;
};

TEST_F(OfflineTest, ASwitchedOffSharesIndexedResultsStayMarkedAndPickingOneNeverFreezes)
{
    for (const char *folder :
         {"local/action/Heat (1995)", "source/drama/Heat of the Night", "source/drama/old/Heat 2",
          "source/drama/Paris", "local/kids/Heat 3"})
        tree.mkdir(QString::fromUtf8(folder));
    share = std::make_unique<test::SlowShare>(tree.path(QStringLiteral("source")),
                                              tree.path(QStringLiteral("nas")));
    ASSERT_TRUE(share->isMounted()) << share->error().toStdString();
    const QString drama = share->path(QStringLiteral("drama"));
    open("[movie]\nAction=" + tree.path(QStringLiteral("local/action")).toUtf8() + "\nDrama=" +
             drama.toUtf8() + "\nKids=" + tree.path(QStringLiteral("local/kids")).toUtf8() + "\n",
         /*show=*/true);
    auto *results = find<QListView>(QStringLiteral("List3"));
    auto *status = find<QLabel>(QStringLiteral("IndexStatus"));
    const QStringList all{tree.path(QStringLiteral("local/action/Heat (1995)")),
                          drama + QStringLiteral("/Heat of the Night"),
                          drama + QStringLiteral("/old/Heat 2"),
                          tree.path(QStringLiteral("local/kids/Heat 3"))};

    // With the share on, the walk finds all and writes the indexes.
    const QDateTime walkFrom = QDateTime::currentDateTime().addSecs(-60);
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(waitUntilIdle(30000));
    const QDateTime walkTo = QDateTime::currentDateTime();
    ASSERT_EQ(test::itemTexts(results), all);
    for (int row = 0; row < results->model()->rowCount(); ++row)
        EXPECT_TRUE(results->model()->index(row, 0).data(Qt::AccessibleDescriptionRole).isNull());

    // Switched off: the index answers at once, and its lines of the share stay after the
    // walk has given the share up, in their places, greyed and described.
    share->switchOff();
    QElapsedTimer clock;
    clock.start();
    typeAndSearch(QStringLiteral("heat"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return results->model()->rowCount() == 4; }, 5000));
    EXPECT_LT(clock.elapsed(), kDeadlineMs) << "the index answers before the walk gives up";
    ASSERT_TRUE(waitUntilIdle(kDeadlineMs + 20000));
    ASSERT_EQ(test::itemTexts(results), all);
    const QColor normal =
        results->model()->index(0, 0).data(Qt::ForegroundRole).value<QBrush>().color();
    const QRegularExpression offline(
        QStringLiteral("^离线，最后见于 (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d)$"));
    QString lastSeen;
    for (const int row : {1, 2}) {
        const QModelIndex item = results->model()->index(row, 0);
        const QRegularExpressionMatch match =
            offline.match(item.data(Qt::AccessibleDescriptionRole).toString());
        ASSERT_TRUE(match.hasMatch())
            << item.data(Qt::AccessibleDescriptionRole).toString().toStdString();
        lastSeen = match.captured(1);
        EXPECT_EQ(item.data(Qt::ToolTipRole).toString(), match.captured(0));
        const QColor foreground = item.data(Qt::ForegroundRole).value<QBrush>().color();
        EXPECT_NE(foreground, normal);
        EXPECT_EQ(foreground, results->palette().color(QPalette::Disabled, QPalette::Text));
    }
    const QDateTime seen = QDateTime::fromString(lastSeen, QStringLiteral("yyyy-MM-dd HH:mm"));
    EXPECT_TRUE(seen >= walkFrom && seen <= walkTo) << lastSeen.toStdString();
    for (const int row : {0, 3})
        EXPECT_TRUE(results->model()->index(row, 0).data(Qt::AccessibleDescriptionRole).isNull());
    // Neither the state line nor the notice calls the offline lines confirmed.
    EXPECT_EQ(status->text(),
              QStringLiteral("找到 4 个；2 个结果离线，取自 %1 的索引；其余已核对").arg(lastSeen));
    EXPECT_EQ(results->accessibleDescription(), status->text());
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            return !window->findChildren<QMessageBox *>(QStringLiteral("problemMessage")).isEmpty();
        },
        5000));
    const QMessageBox *notice =
        window->findChildren<QMessageBox *>(QStringLiteral("problemMessage")).constFirst();
    EXPECT_TRUE(notice->text().contains(QStringLiteral("取自 %1 的索引").arg(lastSeen)))
        << notice->text().toStdString();
    EXPECT_EQ(notice->detailedText(),
              QStringLiteral("%1（没有响应；结果取自 %2 的索引）").arg(drama, lastSeen));

    // Picking an offline line: the window keeps turning while the view waits on the share,
    // and the view says the folder does not answer.
    auto *stateLine = find<QLabel>(QStringLiteral("listingState"));
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticks.start(50);
    clock.restart();
    {
        FreezeWatch watch(*share, 3000);
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                          results->visualRect(results->model()->index(2, 0)).center());
        ASSERT_FALSE(watch.finish()) << "the pick held the window on the share";
    }
    EXPECT_EQ(window->history()->current(), all[2]);
    const bool said = QTest::qWaitFor(
        [&] {
            return stateLine->isVisible() &&
                   stateLine->text().startsWith(QStringLiteral("文件夹没有响应"));
        },
        12000);
    const qint64 took = clock.elapsed();
    std::printf("not-answering line after picking an offline result: %.2f s; longest pause of "
                "the window: %lld ms\n",
                double(took) / 1000, static_cast<long long>(longestGap));
    ASSERT_TRUE(said) << stateLine->text().toStdString();
    EXPECT_LE(took, 11000); // the view's own limit is 10 s
    EXPECT_LT(longestGap, 1000);
    // The offline lines stay as they were.
    EXPECT_EQ(test::itemTexts(results), all);
    EXPECT_FALSE(results->model()->index(1, 0).data(Qt::AccessibleDescriptionRole).isNull());
}

} // namespace
