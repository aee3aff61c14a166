// The results list's menu: open a line, copy its path, and the random pick from the
// keyboard showing every line once before any comes again.
#include "search/resultslist.h"
#include "ui/filenames.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace moviecat;

namespace {

TEST(ResultsMenu, OpensCopiesAndPicksEveryLineOnceFromTheKeyboard)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new QListView;
    layout->addWidget(view);
    ResultsList list(view);
    QSignalSpy picked(&list, &ResultsList::picked);
    const QString gbk = FileNames::fromBytes("/films/\xB5\xE7\xD3\xB0"); // 电影 in GBK
    const QStringList paths = {QStringLiteral("/films/Heat (1995)"), gbk,
                               QStringLiteral("/films/Ran (1985)"),
                               QStringLiteral("/films/Alien (1979)")};
    list.replace(paths);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The menu on the second line: three entries, the random one naming its shortcut.
    const QRect second = view->visualRect(view->model()->index(1, 0));
    QContextMenuEvent request(QContextMenuEvent::Mouse, second.center());
    QApplication::sendEvent(view->viewport(), &request);
    auto *menu = view->findChild<QMenu *>();
    ASSERT_TRUE(menu);
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("打开"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("复制路径"));
    EXPECT_EQ(actions[2]->text(), QStringLiteral("随机选一部"));
    EXPECT_FALSE(actions[2]->shortcut().isEmpty());

    actions[1]->trigger();
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->text(), FileNames::readable(gbk));
    EXPECT_EQ(copied->urls(), QList<QUrl>{FileNames::url(gbk)});
    actions[0]->trigger();
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked.takeFirst().at(0).toString(), gbk);
    menu->hide();

    // Two rounds by the shortcut: each shows every line once, made current.
    for (int round = 0; round < 2; ++round) {
        QStringList shown;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            QTest::keySequence(&window, actions[2]->shortcut());
            ASSERT_EQ(picked.size(), 1) << "one pick a key, round " << round;
            const QString path = picked.takeFirst().at(0).toString();
            EXPECT_EQ(paths.value(view->currentIndex().row()), path);
            shown << path;
        }
        shown.sort();
        QStringList all = paths;
        all.sort();
        EXPECT_EQ(shown, all) << "round " << round;
    }

    // An empty list has nothing to pick.
    list.clear();
    QTest::keySequence(&window, actions[2]->shortcut());
    EXPECT_TRUE(picked.isEmpty());
}

} // namespace
