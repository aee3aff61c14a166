#include "folderview/navigationhistory.h"
#include "folderviewfixture.h"

#include <QDir>
#include <QListWidget>

namespace moviecat::test {
namespace {

// The window's wiring: the hidden List1 holds the history, item-open enters.
class NavigationHistoryTest : public FolderViewTest {
protected:
    void SetUp() override
    {
        FolderViewTest::SetUp();
        list1.setObjectName(QStringLiteral("List1"));
        history = std::make_unique<NavigationHistory>(&list1, view.get());
        QObject::connect(view.get(), &FolderView::itemOpened, history.get(),
                         &NavigationHistory::enter);
        tree.mkdir(QStringLiteral("A/B/C"));
        tree.mkdir(QStringLiteral("A/B2"));
    }

    // What a category click or a picked result does.
    void startAt(const QString &path)
    {
        view->setPath(path);
        history->restart(path);
    }

    QStringList entries() const
    {
        QStringList texts;
        for (int row = 0; row < list1.count(); ++row)
            texts << list1.item(row)->text();
        return texts;
    }

    // The selection sits on the last entry, and the view shows it.
    void expectAt(const QString &folder) const
    {
        EXPECT_EQ(list1.currentRow(), list1.count() - 1);
        EXPECT_EQ(history->current(), folder);
        EXPECT_EQ(view->path(), folder);
    }

    static QString native(const QString &path) { return QDir::toNativeSeparators(path); }
    QString at(const char *relative) const { return native(tree.path(QLatin1String(relative))); }

    QListWidget list1;
    std::unique_ptr<NavigationHistory> history;
};

TEST_F(NavigationHistoryTest, RestartHoldsOneFolderAndDropsWhatWasBrowsed)
{
    EXPECT_TRUE(history->current().isEmpty());
    EXPECT_EQ(list1.currentRow(), -1);

    startAt(at("A"));
    EXPECT_EQ(entries(), QStringList{at("A")});
    expectAt(at("A"));
    history->back();
    EXPECT_EQ(entries(), QStringList{at("A")});
    expectAt(at("A"));

    doubleClick(QStringLiteral("B"));
    EXPECT_EQ(entries(), (QStringList{at("A"), at("A/B")}));
    startAt(at("A"));
    startAt(at("A"));
    EXPECT_EQ(entries(), QStringList{at("A")});
    expectAt(at("A"));
}

TEST_F(NavigationHistoryTest, EnterJoinsWithOneSeparator)
{
    // A root already ends in the separator: nothing is doubled.
    const QString root = QDir::rootPath();
    const QString firstComponent = tree.root().section(QLatin1Char('/'), 1, 1);
    startAt(root);
    pressEnterOn(firstComponent);
    EXPECT_EQ(entries(), (QStringList{native(root), native(root + firstComponent)}));
    expectAt(native(root + firstComponent));

    // An ordinary path gets one.
    startAt(at("A"));
    pressEnterOn(QStringLiteral("B"));
    view->setViewMode(ViewMode::Details);
    doubleClick(QStringLiteral("C"));
    EXPECT_EQ(entries(), (QStringList{at("A"), at("A/B"), at("A/B/C")}));
    expectAt(at("A/B/C"));
}

TEST_F(NavigationHistoryTest, EmptyNameStillEntersAndStoresTheViewsForm)
{
    // Nothing opened yet, so the name is empty: "A" + separator is written and
    // the view's reading of it, plain "A", is what gets stored.
    ASSERT_TRUE(view->itemName().isEmpty());
    startAt(at("A") + QDir::separator());
    history->enter();
    EXPECT_EQ(entries(), (QStringList{at("A") + QDir::separator(), at("A")}));
    expectAt(at("A"));
    EXPECT_EQ(waitForNames(2), (QStringList{QStringLiteral("B"), QStringLiteral("B2")}));
}

TEST_F(NavigationHistoryTest, BackReturnsOneFolderAtATimeDownToTheFirst)
{
    startAt(tree.root());
    doubleClick(QStringLiteral("A"));
    doubleClick(QStringLiteral("B"));
    expectAt(at("A/B"));

    history->back();
    expectAt(at("A"));
    EXPECT_EQ(waitForNames(2), (QStringList{QStringLiteral("B"), QStringLiteral("B2")}));
    history->back();
    expectAt(native(tree.root()));
    history->back();
    EXPECT_EQ(entries(), QStringList{native(tree.root())});
    expectAt(native(tree.root()));
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("A")});
}

TEST_F(NavigationHistoryTest, OpeningBeforeAnyRestartStartsTheHistory)
{
    view->setPath(at("A"));
    doubleClick(QStringLiteral("B2"));
    EXPECT_EQ(entries(), QStringList{at("A/B2")});
    expectAt(at("A/B2"));
    history->back();
    EXPECT_EQ(entries(), QStringList{at("A/B2")});
}

TEST_F(NavigationHistoryTest, GrowsPastSixteenBits)
{
    constexpr int opens = 33000;
    startAt(at("A"));
    for (int i = 0; i < opens; ++i)
        history->enter();

    ASSERT_EQ(list1.count(), opens + 1);
    expectAt(at("A"));
    history->back();
    EXPECT_EQ(list1.count(), opens);
    EXPECT_EQ(list1.currentRow(), opens - 1);
}

} // namespace
} // namespace moviecat::test
