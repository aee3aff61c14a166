#include "disk/operationrunner.h"
#include "disk/workerpool.h"
#include "entryops/desktopactions.h"
#include "entryops/entryactions.h"
#include "entryops/propertiesbox.h"
#include "folderviewfixture.h"
#include "lockedfolder.h"
#include "ui/filenames.h"
#include "urlcatcher.h"
#include "xdgfolders.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::test {
namespace {

constexpr int waitMs = 5000;

bool exists(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

QStringList actionTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    return texts;
}

class EntryActionsTest : public FolderViewTest {
protected:
    void SetUp() override
    {
        FolderViewTest::SetUp();
        actions = view->findChild<EntryActions *>();
        ASSERT_NE(actions, nullptr);
        // No desktop behind the tests: its file manager and portal are not asked.
        actions->desktop()->setUseBus(false);
        folder = tree.mkdir(QStringLiteral("films"));
    }

    void show(const QStringList &names)
    {
        view->setPath(folder);
        for (const QString &name : names)
            ASSERT_TRUE(waitForEntry(name).isValid()) << name.toStdString();
        shownView()->setFocus();
    }

    void select(const QStringList &names)
    {
        QAbstractItemView *v = shownView();
        v->selectionModel()->clearSelection();
        for (const QString &name : names) {
            const QModelIndex index = waitForEntry(name);
            ASSERT_TRUE(index.isValid()) << name.toStdString();
            v->selectionModel()->setCurrentIndex(index, QItemSelectionModel::Select |
                                                            QItemSelectionModel::Rows);
        }
    }

    QStringList selectedNames() const
    {
        QStringList names;
        for (const QModelIndex &index : shownView()->selectionModel()->selectedIndexes()) {
            if (index.column() == 0)
                names << index.data().toString();
        }
        names.sort();
        return names;
    }

    // The context menu as a right-click on the entry (or on the empty area) opens it.
    QMenu *rightClick(const QString &name = {})
    {
        QAbstractItemView *v = shownView();
        const QPoint at = name.isEmpty()
                              ? QPoint(v->viewport()->width() - 5, v->viewport()->height() - 5)
                              : v->visualRect(waitForEntry(name)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, v->viewport()->mapToGlobal(at));
        QApplication::sendEvent(v->viewport(), &event);
        return openMenu();
    }

    QMenu *openMenu() const
    {
        // A closed menu lingers until it is deleted: the shown one is wanted.
        QMenu *menu = nullptr;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                for (QMenu *candidate : view->findChildren<QMenu *>(QStringLiteral("entryMenu"))) {
                    if (candidate->isVisible())
                        menu = candidate;
                }
                return menu != nullptr;
            },
            waitMs));
        return menu;
    }

    void trigger(QMenu *menu, const QString &text)
    {
        for (QAction *action : menu->actions()) {
            if (action->text() == text) {
                menu->close();
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no menu item " << text.toStdString();
    }

    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(shownView(), Qt::Key(key), modifiers);
    }

    QLineEdit *renameEditor() const
    {
        // One that was closed lingers, hidden, until it is deleted.
        for (QLineEdit *editor :
             shownView()->viewport()->findChildren<QLineEdit *>(QStringLiteral("renameEditor"))) {
            if (editor->isVisible())
                return editor;
        }
        return nullptr;
    }

    void renameTo(const QString &name, const QString &newName)
    {
        select({name});
        press(Qt::Key_F2);
        QLineEdit *editor = renameEditor();
        ASSERT_NE(editor, nullptr);
        ASSERT_EQ(editor->text(), name);
        editor->setText(newName);
        QTest::keyClick(editor, Qt::Key_Return);
    }

    bool idle() const { return actions->runner()->pending() == 0; }

    QString trashed(const QString &name) const
    {
        return tree.path(QStringLiteral("data/Trash/files/") + name);
    }

    XdgFolders xdg{tree.root()};
    EntryActions *actions = nullptr;
    QString folder;
};

TEST_F(EntryActionsTest, MenusHoldTheirItemsInOrderForAnEntrySeveralAndTheEmptyArea)
{
    tree.writeFile(QStringLiteral("films/a.mkv"));
    tree.writeFile(QStringLiteral("films/b.mkv"));
    show({QStringLiteral("a.mkv"), QStringLiteral("b.mkv")});

    QMenu *menu = rightClick(QStringLiteral("a.mkv"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(menu), utf8List({"打开", "打开方式…", "在文件管理器中显示", "复制路径",
                                           "重命名", "移到回收站", "属性"}));
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("a.mkv")});
    menu->close();

    select({QStringLiteral("a.mkv"), QStringLiteral("b.mkv")});
    menu = rightClick(QStringLiteral("b.mkv"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(menu), utf8List({"在文件管理器中显示", "复制路径", "移到回收站"}));
    EXPECT_EQ(selectedNames().size(), 2);
    menu->close();

    menu = rightClick();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(menu), utf8List({"刷新", "在文件管理器中打开此文件夹", "复制路径"}));
    EXPECT_TRUE(selectedNames().isEmpty());
    menu->close();

    // From the keyboard: Shift+F10 and the Menu key's event, on the current entry.
    select({QStringLiteral("b.mkv")});
    press(Qt::Key_F10, Qt::ShiftModifier);
    menu = openMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(menu).first(), QString::fromUtf8("打开"));
    menu->close();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0));
    QApplication::sendEvent(shownView(), &key);
    menu = openMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(menu).size(), 7);
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("b.mkv")});
    menu->close();
}

TEST_F(EntryActionsTest, MenuItemsDoWhatTheySay)
{
    tree.mkdir(QStringLiteral("films/Inner"));
    tree.writeFile(QStringLiteral("films/Inner/part.mkv"), QByteArray(300, 'p'));
    tree.writeFile(QStringLiteral("films/movie.mkv"), "m");
    show({QStringLiteral("Inner"), QStringLiteral("movie.mkv")});
    UrlCatcher desktop;

    QSignalSpy opened(view.get(), &FolderView::itemOpened);
    trigger(rightClick(QStringLiteral("Inner")), QString::fromUtf8("打开"));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.first().first().toString(), QStringLiteral("Inner"));

    trigger(rightClick(QStringLiteral("movie.mkv")), QString::fromUtf8("复制路径"));
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->text(), folder + QStringLiteral("/movie.mkv"));
    EXPECT_EQ(copied->urls(),
              QList<QUrl>{QUrl::fromLocalFile(folder + QStringLiteral("/movie.mkv"))});

    // Without the desktop's file manager: the folder opens.
    trigger(rightClick(QStringLiteral("movie.mkv")), QString::fromUtf8("在文件管理器中显示"));
    trigger(rightClick(), QString::fromUtf8("在文件管理器中打开此文件夹"));
    EXPECT_EQ(desktop.opened,
              (QList<QUrl>{QUrl::fromLocalFile(folder), QUrl::fromLocalFile(folder)}));

    trigger(rightClick(), QString::fromUtf8("复制路径"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), folder);

    trigger(rightClick(QStringLiteral("Inner")), QString::fromUtf8("属性"));
    PropertiesBox *box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (box = view->findChild<PropertiesBox *>()) != nullptr; }, waitMs));
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->findChild<QLabel *>(QStringLiteral("path"))->text(),
              folder + QStringLiteral("/Inner"));
    const QLabel *size = box->findChild<QLabel *>(QStringLiteral("size"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return size->text().startsWith(QStringLiteral("300 ")); }, waitMs))
        << size->text().toStdString();
    EXPECT_TRUE(box->findChild<QLabel *>(QStringLiteral("contents"))
                    ->text()
                    .startsWith(QString::fromUtf8("1 个文件，0 个文件夹")));
    EXPECT_EQ(box->findChild<QLabel *>(QStringLiteral("type"))->text(),
              QString::fromUtf8("文件夹"));
    box->close();

    trigger(rightClick(QStringLiteral("movie.mkv")), QString::fromUtf8("移到回收站"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return exists(trashed(QStringLiteral("movie.mkv"))); }, waitMs));
    EXPECT_FALSE(exists(folder + QStringLiteral("/movie.mkv")));

    trigger(rightClick(QStringLiteral("Inner")), QString::fromUtf8("重命名"));
    EXPECT_NE(renameEditor(), nullptr);
}

TEST_F(EntryActionsTest, OpenWithOffersTheApplicationsOfTheMimeAppsLists)
{
    tree.writeFile(QStringLiteral("system-data/applications/player.desktop"),
                   "[Desktop Entry]\nType=Application\nName=Player\nName[zh_CN]=播放器\n"
                   "Exec=/bin/echo --play %U\nMimeType=video/x-matroska;\n");
    tree.writeFile(QStringLiteral("system-data/applications/other.desktop"),
                   "[Desktop Entry]\nType=Application\nName=Other\nExec=other %f\n");
    tree.writeFile(QStringLiteral("system-data/applications/removed.desktop"),
                   "[Desktop Entry]\nType=Application\nName=Removed\nExec=removed %f\n");
    tree.writeFile(QStringLiteral("system-data/applications/mimeinfo.cache"),
                   "[MIME Cache]\nvideo/x-matroska=player.desktop;removed.desktop;\n");
    tree.writeFile(QStringLiteral("config/mimeapps.list"),
                   "[Default Applications]\nvideo/x-matroska=other.desktop\n"
                   "[Removed Associations]\nvideo/x-matroska=removed.desktop;\n");
    tree.writeFile(QStringLiteral("films/movie.mkv"), "m");
    show({QStringLiteral("movie.mkv")});
    QStringList launched;
    actions->desktop()->setLauncher([&](const QString &program, const QStringList &arguments) {
        launched = QStringList{program} + arguments;
        return true;
    });

    trigger(rightClick(QStringLiteral("movie.mkv")), QString::fromUtf8("打开方式…"));
    QDialog *chooser = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return (chooser = view->findChild<QDialog *>(QStringLiteral("applicationChooser")));
        },
        waitMs));
    auto *list = chooser->findChild<QListWidget *>(QStringLiteral("applications"));
    // The machine's own players may follow ours.
    ASSERT_GE(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Other"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Player"));
    EXPECT_TRUE(list->findItems(QStringLiteral("Removed"), Qt::MatchExactly).isEmpty());
    list->setCurrentRow(1);
    chooser->accept();
    const QString movie = folder + QStringLiteral("/movie.mkv");
    EXPECT_EQ(launched, (QStringList{QStringLiteral("/bin/echo"), QStringLiteral("--play"),
                                     QUrl::fromLocalFile(movie).toString()}));
    // A folder is opened here, never handed to another program.
    tree.mkdir(QStringLiteral("films/Inner"));
    QMenu *menu = rightClick(QStringLiteral("Inner"));
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->actions().at(1)->isEnabled());
    menu->close();
}

TEST(ExecLines, QuotingAndFieldCodes)
{
    const QString path = QStringLiteral("/films/a b.mkv");
    EXPECT_EQ(execArguments(QStringLiteral("vlc --started-from-file %U"), path),
              (QStringList{QStringLiteral("vlc"), QStringLiteral("--started-from-file"),
                           QStringLiteral("file:///films/a%20b.mkv")}));
    EXPECT_EQ(execArguments(QStringLiteral("\"/opt/My Player/play\" -x \"a\\\"b\" %f %i"), path),
              (QStringList{QStringLiteral("/opt/My Player/play"), QStringLiteral("-x"),
                           QStringLiteral("a\"b"), path}));
    // No field code: the file goes last. %% is a percent sign.
    EXPECT_EQ(execArguments(QStringLiteral("mpv --volume=50%%"), path),
              (QStringList{QStringLiteral("mpv"), QStringLiteral("--volume=50%"), path}));
    EXPECT_TRUE(execArguments(QString(), path).isEmpty());
}

TEST_F(EntryActionsTest, RenameInPlaceKeepsTheEntrySelectedAndRefusesWhatItMust)
{
    tree.writeFile(QStringLiteral("films/Old Name.mkv"), "o");
    tree.writeFile(QStringLiteral("films/Taken.mkv"), "t");
    tree.writeFile(QStringLiteral("films/Z.mkv"), "z");
    show({QStringLiteral("Old Name.mkv"), QStringLiteral("Taken.mkv"), QStringLiteral("Z.mkv")});
    QSignalSpy problems(view.get(), &FolderView::problem);

    // The name without its ending is what gets typed over.
    select({QStringLiteral("Old Name.mkv")});
    press(Qt::Key_F2);
    ASSERT_NE(renameEditor(), nullptr);
    EXPECT_EQ(renameEditor()->selectedText(), QStringLiteral("Old Name"));
    QTest::keyClick(renameEditor(), Qt::Key_Escape);
    EXPECT_EQ(renameEditor(), nullptr);
    // Another folder shown closes the editor without renaming.
    press(Qt::Key_F2);
    ASSERT_NE(renameEditor(), nullptr);
    view->setPath(tree.root());
    EXPECT_EQ(renameEditor(), nullptr);
    show({QStringLiteral("Old Name.mkv")});

    renameTo(QStringLiteral("Old Name.mkv"), QStringLiteral("Y.mkv"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return exists(folder + QStringLiteral("/Y.mkv")); }, waitMs));
    EXPECT_FALSE(exists(folder + QStringLiteral("/Old Name.mkv")));
    // Sorted in under its new name, and still the one selected.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return shownNames() == QStringList{QStringLiteral("Taken.mkv"), QStringLiteral("Y.mkv"),
                                               QStringLiteral("Z.mkv")} &&
                   selectedNames() == QStringList{QStringLiteral("Y.mkv")};
        },
        waitMs))
        << shownNames().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(shownView()->currentIndex().data().toString(), QStringLiteral("Y.mkv"));
    EXPECT_EQ(problems.count(), 0);

    struct Refusal {
        QString name;
        const char *says;
    };
    const QList<Refusal> refusals{{QString(), "名称不能为空"},
                                  {QStringLiteral("a/b.mkv"), "不能有“/”"},
                                  {QStringLiteral("Taken.mkv"), "已有名为“Taken.mkv”的项目"}};
    for (const Refusal &refusal : refusals) {
        problems.clear();
        renameTo(QStringLiteral("Y.mkv"), refusal.name);
        ASSERT_TRUE(problems.count() == 1 || problems.wait(waitMs)) << refusal.says;
        EXPECT_TRUE(problems.first().first().toString().contains(QString::fromUtf8(refusal.says)))
            << problems.first().first().toString().toStdString();
        EXPECT_TRUE(exists(folder + QStringLiteral("/Y.mkv")));
    }
    EXPECT_TRUE(exists(folder + QStringLiteral("/Taken.mkv")));
    EXPECT_FALSE(exists(folder + QStringLiteral("/a")));

    // The file system's own refusal, with its reason.
    problems.clear();
    {
        LockedFolder locked(QFile::encodeName(folder));
        ASSERT_TRUE(locked.holds());
        renameTo(QStringLiteral("Y.mkv"), QStringLiteral("W.mkv"));
        ASSERT_TRUE(problems.wait(waitMs));
        EXPECT_TRUE(problems.first().first().toString().startsWith(
            QString::fromUtf8("无法将“Y.mkv”重命名为“W.mkv”：")));
    }
    EXPECT_TRUE(exists(folder + QStringLiteral("/Y.mkv")));
}

TEST_F(EntryActionsTest, DeleteTrashesWithAnUndoLineAndCtrlZPutsThemBack)
{
    tree.writeFile(QStringLiteral("films/a.mkv"), "a");
    tree.writeFile(QStringLiteral("films/b.mkv"), "b");
    tree.writeFile(QStringLiteral("films/c.mkv"), "c");
    show({QStringLiteral("a.mkv"), QStringLiteral("b.mkv"), QStringLiteral("c.mkv")});
    const auto *line = view->findChild<QLabel *>(QStringLiteral("trashNotice"));
    ASSERT_NE(line, nullptr);

    select({QStringLiteral("b.mkv")});
    press(Qt::Key_Delete);
    ASSERT_TRUE(QTest::qWaitFor([&] { return line->isVisible(); }, waitMs));
    EXPECT_TRUE(line->text().contains(QString::fromUtf8("已移到回收站：b.mkv")));
    EXPECT_TRUE(line->text().contains(QString::fromUtf8(">撤销</a>")));
    EXPECT_FALSE(exists(folder + QStringLiteral("/b.mkv")));
    EXPECT_TRUE(exists(trashed(QStringLiteral("b.mkv"))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownNames().size() == 2; }, waitMs));

    press(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return exists(folder + QStringLiteral("/b.mkv")); }, waitMs));
    EXPECT_FALSE(line->isVisible());
    EXPECT_FALSE(exists(trashed(QStringLiteral("b.mkv"))));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return selectedNames() == QStringList{QStringLiteral("b.mkv")}; }, waitMs));

    // All of them at once; the link in the line brings them all back.
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectedNames().size(), 3);
    press(Qt::Key_Delete);
    ASSERT_TRUE(QTest::qWaitFor([&] { return line->isVisible(); }, waitMs));
    EXPECT_TRUE(line->text().contains(QString::fromUtf8("已移到回收站：a.mkv 等 3 项")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownNames().isEmpty(); }, waitMs));
    emit const_cast<QLabel *>(line)->linkActivated(QStringLiteral("undo"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return shownNames().size() == 3 && selectedNames().size() == 3; }, waitMs));
    for (const char *name : {"a.mkv", "b.mkv", "c.mkv"})
        EXPECT_TRUE(exists(folder + QLatin1Char('/') + QLatin1String(name))) << name;

    // A second Ctrl+Z has nothing more to give back.
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle(); }, waitMs));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(idle());
}

TEST_F(EntryActionsTest, ANameThatIsNotUtf8GoesToTheTrashAndBackByItsBytes)
{
    // A Latin-1 byte: listed in its readable form, trashed and restored as its bytes.
    const QByteArray name = "Caf\xe9.mkv";
    const QByteArray original = FileNames::toBytes(folder) + '/' + name;
    const int fd = ::open(original.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QString shown = FileNames::readable(FileNames::fromBytes(name));
    show({shown});

    select({shown});
    press(Qt::Key_Delete);
    const QByteArray trashedFile =
        FileNames::toBytes(tree.path(QStringLiteral("data/Trash/files"))) + '/' + name;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ::access(trashedFile.constData(), F_OK) == 0; }, waitMs));
    EXPECT_NE(::access(original.constData(), F_OK), 0);
    // Ctrl+Z takes back what the window has heard was trashed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle(); }, waitMs));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ::access(original.constData(), F_OK) == 0; }, waitMs));
    EXPECT_TRUE(waitForEntry(shown).isValid());
    // QTemporaryDir cannot remove names it cannot spell.
    EXPECT_EQ(::unlink(original.constData()), 0);
}

TEST_F(EntryActionsTest, ShiftDeleteAsksThenDeletesForGood)
{
    tree.writeFile(QStringLiteral("films/keep.mkv"), "k");
    tree.writeFile(QStringLiteral("films/gone/inside.mkv"), "g");
    show({QStringLiteral("keep.mkv"), QStringLiteral("gone")});

    select({QStringLiteral("keep.mkv")});
    press(Qt::Key_Delete, Qt::ShiftModifier);
    auto *question = view->findChild<QMessageBox *>(QStringLiteral("deleteQuestion"));
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(question->text().contains(QString::fromUtf8("永久删除“keep.mkv”")));
    // Enter takes the default answer, which keeps it.
    QTest::keyClick(question, Qt::Key_Return);
    EXPECT_TRUE(idle());
    EXPECT_TRUE(exists(folder + QStringLiteral("/keep.mkv")));

    select({QStringLiteral("gone")});
    press(Qt::Key_Delete, Qt::ShiftModifier);
    question = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            question = view->findChild<QMessageBox *>(QStringLiteral("deleteQuestion"));
            return question && question->isVisible();
        },
        waitMs));
    question->findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !exists(folder + QStringLiteral("/gone")); }, waitMs));
    EXPECT_FALSE(exists(trashed(QStringLiteral("gone"))));
    EXPECT_TRUE(exists(folder + QStringLiteral("/keep.mkv")));
}

TEST_F(EntryActionsTest, CtrlCAndADragCarryUriListAndPlainPaths)
{
    tree.writeFile(QStringLiteral("films/一.mkv"));
    tree.writeFile(QStringLiteral("films/two.mkv"));
    show({QString::fromUtf8("一.mkv"), QStringLiteral("two.mkv")});
    const QStringList paths{folder + QString::fromUtf8("/一.mkv"),
                            folder + QStringLiteral("/two.mkv")};
    const QList<QUrl> urls{QUrl::fromLocalFile(paths[0]), QUrl::fromLocalFile(paths[1])};

    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_C, Qt::ControlModifier);
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    QStringList lines = copied->text().split(QLatin1Char('\n'));
    lines.sort();
    EXPECT_EQ(lines, (QStringList{paths[1], paths[0]}));
    EXPECT_EQ(copied->urls().size(), 2);
    EXPECT_TRUE(copied->urls().contains(urls[0]) && copied->urls().contains(urls[1]));

    // A press on one of the selected entries and a move drags both.
    QAbstractItemView *v = shownView();
    const QPoint from = v->visualRect(waitForEntry(QStringLiteral("two.mkv"))).center();
    QList<QUrl> dragged;
    QString draggedText;
    QObject::connect(actions, &EntryActions::dragStarting, view.get(), [&](const QMimeData *data) {
        dragged = data->urls();
        draggedText = data->text();
    });
    QTest::mousePress(v->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, from + QPoint(40, 40),
                     v->viewport()->mapToGlobal(from + QPoint(40, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v->viewport(), &move);
    QTest::mouseRelease(v->viewport(), Qt::LeftButton, {}, from + QPoint(40, 40));
    EXPECT_EQ(dragged.size(), 2);
    EXPECT_TRUE(dragged.contains(urls[0]) && dragged.contains(urls[1]));
    EXPECT_EQ(draggedText.split(QLatin1Char('\n')).size(), 2);
    EXPECT_EQ(selectedNames().size(), 2);
}

TEST_F(EntryActionsTest, TypingSelectsTheFirstNameInTheViewsOrderAndKeysReachTheWindow)
{
    for (const char *name : {"film 10.mkv", "Film 2.mkv", "alpha.mkv", "Beta.mkv", "Fog.mkv"})
        tree.writeFile(QStringLiteral("films/") + QString::fromUtf8(name));
    show({QStringLiteral("film 10.mkv"), QStringLiteral("Fog.mkv")});
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(100000);
    auto current = [&] {
        return shownView()->currentIndex().data().toString();
    };

    QTest::keyClicks(shownView(), QStringLiteral("FI"));
    EXPECT_EQ(current(), QStringLiteral("Film 2.mkv"));
    QTest::keyClicks(shownView(), QStringLiteral("LM 1"));
    EXPECT_EQ(current(), QStringLiteral("film 10.mkv"));
    QApplication::setKeyboardInputInterval(0);
    QTest::qWait(5);
    QTest::keyClicks(shownView(), QStringLiteral("b"));
    EXPECT_EQ(current(), QStringLiteral("Beta.mkv"));
    QTest::qWait(5);
    // The same letter again walks through the names that start with it.
    QTest::keyClicks(shownView(), QStringLiteral("f"));
    EXPECT_EQ(current(), QStringLiteral("Film 2.mkv"));
    QApplication::setKeyboardInputInterval(100000);
    QTest::keyClicks(shownView(), QStringLiteral("ff"));
    EXPECT_EQ(current(), QStringLiteral("Fog.mkv"));
    QApplication::setKeyboardInputInterval(interval);

    QSignalSpy back(view.get(), &FolderView::backRequested);
    press(Qt::Key_Backspace);
    press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(back.count(), 2);

    // F5 reads the folder again.
    tree.writeFile(QStringLiteral("films/new.mkv"));
    press(Qt::Key_F5);
    EXPECT_TRUE(waitForEntry(QStringLiteral("new.mkv")).isValid());
}

TEST_F(EntryActionsTest, ProgramsAreNeverRunOnlyTheirFolderOpened)
{
    const QString script = tree.writeFile(QStringLiteral("films/run.sh"), "#!/bin/sh\necho hi\n");
    ::chmod(QFile::encodeName(script).constData(), 0755);
    tree.writeFile(QStringLiteral("films/start.desktop"), "[Desktop Entry]\nExec=/bin/true\n");
    // Disks mounted from Windows mark every file executable: a movie is still a movie.
    const QString movie = tree.writeFile(QStringLiteral("films/movie.mkv"), "\x1a\x45\xdf\xa3");
    ::chmod(QFile::encodeName(movie).constData(), 0777);
    show({QStringLiteral("run.sh"), QStringLiteral("start.desktop"), QStringLiteral("movie.mkv")});
    UrlCatcher desktop;

    for (const QString &name : {QStringLiteral("run.sh"), QStringLiteral("start.desktop")}) {
        doubleClick(name);
        QMessageBox *question = nullptr;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                question = view->findChild<QMessageBox *>(QStringLiteral("executableQuestion"));
                return question && question->isVisible();
            },
            waitMs))
            << name.toStdString();
        EXPECT_TRUE(question->text().startsWith(QString::fromUtf8("这是一个可执行文件……")));
        EXPECT_TRUE(desktop.opened.isEmpty());
        // The default answer opens the folder.
        QTest::keyClick(question, Qt::Key_Return);
        EXPECT_EQ(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
        desktop.opened.clear();
        QTest::qWait(1); // the box goes away
    }

    doubleClick(QStringLiteral("movie.mkv"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, waitMs));
    EXPECT_EQ(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(movie)});
}

TEST(OperationRunnerWaiting, SaysWorkingAtOnceAndNotAnsweringLaterAndDropsLateAnswers)
{
    WorkerPool pool;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    int answers = 0;
    {
        OperationRunner runner(pool);
        runner.setNotAnsweringAfter(std::chrono::milliseconds(100));
        QSignalSpy changes(&runner, &OperationRunner::waitingChanged);
        runner.run(
            [released] {
                released.wait();
                return 7;
            },
            [&](int answer) { answers += answer; });
        EXPECT_EQ(runner.waiting(), OperationRunner::Waiting::Working);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return runner.waiting() == OperationRunner::Waiting::NotAnswering; }, waitMs));
        release.set_value();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return runner.waiting() == OperationRunner::Waiting::None; }, waitMs));
        EXPECT_EQ(answers, 7);
        EXPECT_EQ(changes.count(), 3);

        // An answer that comes after the runner has gone is dropped.
        std::promise<void> late;
        std::shared_future<void> lateReleased = late.get_future().share();
        runner.run(
            [lateReleased] {
                lateReleased.wait();
                return 1;
            },
            [&](int answer) { answers += answer; });
        late.set_value();
    }
    QTest::qWait(50);
    EXPECT_EQ(answers, 7);
}

} // namespace
} // namespace moviecat::test
