// Browsing the catalogue as a user does: category buttons, opening folders, Back and
// the view modes, as seen through the window's controls.
#include "windowfixture.h"

#include "app/navigationhistory.h"
#include "folderview/folderview.h"

#include <QDir>
#include <QPushButton>

using namespace moviecat;

namespace {

class BrowsingTest : public moviecat::test::WindowFixture {
protected:
    void openCatalogue()
    {
        tree.mkdir(QStringLiteral("films/action/Heat (1995)/Extras"));
        tree.mkdir(QStringLiteral("films/action/Ronin (1998)"));
        tree.mkdir(QStringLiteral("films/comedy/Playtime (1967)"));
        // The second line has no folder: its button shows, but must not borrow one.
        const QByteArray ini =
            "[movie]\nAction=" + tree.path(QStringLiteral("films/action")).toUtf8() +
            "\nNo folder here\nComedy=" + tree.path(QStringLiteral("films/comedy")).toUtf8() +
            "\n[movie end]\n";
        open(ini, /*show=*/true);
        view = find<FolderView>(QStringLiteral("ExplorerList1"));
        categoryLabel = find<WindowlessLabel>(QStringLiteral("Label22"));
    }

    QStringList historyEntries() const { return window->history()->paths(); }

    void clickButton(const char *name) const
    {
        QTest::mouseClick(find<QPushButton>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    FolderView *view = nullptr;
    WindowlessLabel *categoryLabel = nullptr;
};

TEST_F(BrowsingTest, CategoryClickShowsItsFolderRestartsTheHistoryAndNamesIt)
{
    openCatalogue();
    const QString action = tree.path(QStringLiteral("films/action"));
    QTest::mouseClick(label(1), Qt::LeftButton);
    EXPECT_EQ(view->path(), QDir::toNativeSeparators(action));
    EXPECT_EQ(historyEntries(), QStringList{action});
    EXPECT_EQ(categoryLabel->caption(), QStringLiteral("Action"));

    // A second click on the same button leaves the same state as one.
    QTest::mouseClick(label(1), Qt::LeftButton);
    EXPECT_EQ(historyEntries(), QStringList{action});

    // The third button opens its own folder although the line before it had none.
    QTest::mouseClick(label(3), Qt::LeftButton);
    EXPECT_EQ(view->path(), tree.path(QStringLiteral("films/comedy")));
    EXPECT_EQ(categoryLabel->caption(), QStringLiteral("Comedy"));
}

TEST_F(BrowsingTest, ButtonWithoutAFolderChangesNothing)
{
    openCatalogue();
    QTest::mouseClick(label(1), Qt::LeftButton);
    const QString before = view->path();
    EXPECT_FALSE(label(2)->isHidden());
    EXPECT_EQ(label(2)->caption(), QStringLiteral("No folder here"));
    QTest::mouseClick(label(2), Qt::LeftButton);
    EXPECT_EQ(view->path(), before);
    EXPECT_EQ(historyEntries(), QStringList{before});
    EXPECT_EQ(categoryLabel->caption(), QStringLiteral("Action"));
}

TEST_F(BrowsingTest, OpeningFoldersGrowsTheHistoryAndBackReturnsToTheRoot)
{
    openCatalogue();
    const QString action = tree.path(QStringLiteral("films/action"));
    QTest::mouseClick(label(1), Qt::LeftButton);
    openInView(QStringLiteral("Heat (1995)"));
    openInView(QStringLiteral("Extras"));
    const QString heat = action + QStringLiteral("/Heat (1995)");
    EXPECT_EQ(historyEntries(), (QStringList{action, heat, heat + QStringLiteral("/Extras")}));
    EXPECT_EQ(view->path(), heat + QStringLiteral("/Extras"));

    clickButton("Command2");
    EXPECT_EQ(view->path(), heat);
    clickButton("Command2");
    EXPECT_EQ(view->path(), action);
    clickButton("Command2"); // the first folder is never removed
    EXPECT_EQ(historyEntries(), QStringList{action});

    // A category click after browsing discards every sub-folder.
    openInView(QStringLiteral("Ronin (1998)"));
    QTest::mouseClick(label(1), Qt::LeftButton);
    EXPECT_EQ(historyEntries(), QStringList{action});
}

TEST_F(BrowsingTest, ViewModeButtonsSwitchTheViewAndTheModeSurvivesAFolderChange)
{
    openCatalogue();
    EXPECT_EQ(view->viewMode(), ViewMode::LargeIcons);
    const std::pair<const char *, ViewMode> buttons[] = {{"Command4", ViewMode::SmallIcons},
                                                         {"Command5", ViewMode::List},
                                                         {"Command6", ViewMode::Details},
                                                         {"Command3", ViewMode::LargeIcons}};
    for (const auto &[button, mode] : buttons) {
        clickButton(button);
        EXPECT_EQ(view->viewMode(), mode) << button;
    }
    clickButton("Command6");
    QTest::mouseClick(label(3), Qt::LeftButton);
    EXPECT_EQ(view->viewMode(), ViewMode::Details);
}

} // namespace
