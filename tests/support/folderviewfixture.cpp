#include "folderviewfixture.h"

#include <QListView>
#include <QTest>
#include <QTreeView>

namespace moviecat::test {

namespace {
constexpr int loadTimeoutMs = 10000;
}

void FolderViewTest::SetUp()
{
    ASSERT_TRUE(tree.isValid());
    view = std::make_unique<FolderView>();
    view->setObjectName(QStringLiteral("ExplorerList1"));
    view->resize(848, 590);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
}

QListView *FolderViewTest::iconView() const
{
    return view->findChild<QListView *>(QStringLiteral("iconView"));
}

QTreeView *FolderViewTest::detailsView() const
{
    return view->findChild<QTreeView *>(QStringLiteral("detailsView"));
}

QAbstractItemView *FolderViewTest::shownView() const
{
    if (view->viewMode() == ViewMode::Details)
        return detailsView();
    return iconView();
}

QStringList FolderViewTest::shownNames() const
{
    const QAbstractItemView *v = shownView();
    const QAbstractItemModel *model = v->model();
    QStringList names;
    const int rows = model->rowCount(v->rootIndex());
    for (int row = 0; row < rows; ++row)
        names << model->index(row, 0, v->rootIndex()).data().toString();
    return names;
}

QStringList FolderViewTest::waitForNames(int count) const
{
    // The caller compares what arrived, so a timeout shows up as a clear mismatch.
    static_cast<void>(QTest::qWaitFor([&] { return shownNames().size() >= count; }, loadTimeoutMs));
    return shownNames();
}

QModelIndex FolderViewTest::waitForEntry(const QString &name) const
{
    QAbstractItemView *v = shownView();
    QModelIndex found;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            const QAbstractItemModel *model = v->model();
            for (int row = 0; row < model->rowCount(v->rootIndex()); ++row) {
                const QModelIndex index = model->index(row, 0, v->rootIndex());
                if (index.data().toString() == name && !v->visualRect(index).isEmpty()) {
                    found = index;
                    return true;
                }
            }
            return false;
        },
        loadTimeoutMs));
    return found;
}

void FolderViewTest::doubleClick(const QString &name) const
{
    const QModelIndex index = waitForEntry(name);
    ASSERT_TRUE(index.isValid()) << name.toStdString() << " never appeared";
    QAbstractItemView *v = shownView();
    const QPoint at = v->visualRect(index).center();
    // The first click arrives as a press and release, the second as the double-click.
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, at);
}

void FolderViewTest::pressEnterOn(const QString &name) const
{
    const QModelIndex index = waitForEntry(name);
    ASSERT_TRUE(index.isValid()) << name.toStdString() << " never appeared";
    QAbstractItemView *v = shownView();
    v->setFocus();
    v->setCurrentIndex(index);
    QTest::keyClick(v, Qt::Key_Return);
}

} // namespace moviecat::test
