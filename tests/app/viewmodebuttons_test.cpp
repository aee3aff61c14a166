#include "app/viewmodebuttons.h"
#include "folderviewfixture.h"

#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace moviecat::test {
namespace {

using ViewModeButtons = FolderViewTest;

TEST_F(ViewModeButtons, EachButtonSetsItsMode)
{
    tree.mkdir(QStringLiteral("Inside"));
    view->setPath(tree.root());
    QWidget row;
    std::array<QPushButton *, 4> buttons{};
    std::array<QAbstractButton *, 4> asAbstract{};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i] = new QPushButton(QString::number(i), &row);
        asAbstract[i] = buttons[i];
    }
    connectViewModeButtons(asAbstract, view.get());
    row.show();

    QTest::mouseClick(buttons[3], Qt::LeftButton);
    EXPECT_EQ(view->viewMode(), ViewMode::Details);
    EXPECT_TRUE(detailsView()->isVisible());

    QTest::mouseClick(buttons[2], Qt::LeftButton);
    EXPECT_EQ(view->viewMode(), ViewMode::List);
    EXPECT_TRUE(iconView()->isVisible());
    EXPECT_FALSE(detailsView()->isVisible());

    QTest::mouseClick(buttons[1], Qt::LeftButton);
    EXPECT_EQ(view->viewMode(), ViewMode::SmallIcons);

    // The mode in force can be chosen again.
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_EQ(view->viewMode(), ViewMode::LargeIcons);
    EXPECT_EQ(iconView()->viewMode(), QListView::IconMode);
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("Inside")});
}

} // namespace
} // namespace moviecat::test
