#include "folderviewfixture.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QUrl>

namespace moviecat::test {
namespace {

// Stands in for the desktop's default application, so no player starts.
class FileOpener : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

using FolderViewModes = FolderViewTest;

TEST_F(FolderViewModes, ModesSwitchTheShownViewAndSurviveAFolderChange)
{
    tree.mkdir(QStringLiteral("one/x"));
    tree.mkdir(QStringLiteral("two/y"));
    view->setPath(tree.path(QStringLiteral("one")));

    EXPECT_EQ(view->viewMode(), ViewMode::LargeIcons);
    EXPECT_TRUE(iconView()->isVisible());
    EXPECT_EQ(iconView()->viewMode(), QListView::IconMode);

    view->setViewMode(ViewMode::Details);
    EXPECT_TRUE(detailsView()->isVisible());
    EXPECT_FALSE(iconView()->isVisible());
    view->setPath(tree.path(QStringLiteral("two")));
    EXPECT_EQ(view->viewMode(), ViewMode::Details);
    EXPECT_TRUE(detailsView()->isVisible());
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("y")});

    view->setViewMode(ViewMode::List);
    EXPECT_TRUE(iconView()->isVisible());
    EXPECT_FALSE(detailsView()->isVisible());
    EXPECT_EQ(iconView()->viewMode(), QListView::ListMode);
    EXPECT_EQ(iconView()->flow(), QListView::TopToBottom);
    EXPECT_TRUE(iconView()->isWrapping());

    view->setViewMode(ViewMode::SmallIcons);
    EXPECT_TRUE(iconView()->isVisible());
    EXPECT_EQ(iconView()->flow(), QListView::LeftToRight);
    EXPECT_LT(iconView()->iconSize().width(), 32);
    view->setPath(tree.path(QStringLiteral("one")));
    EXPECT_EQ(view->viewMode(), ViewMode::SmallIcons);
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("x")});

    // From list mode back to large icons: the icon layout must come back whole.
    view->setViewMode(ViewMode::List);
    view->setViewMode(ViewMode::LargeIcons);
    EXPECT_EQ(iconView()->viewMode(), QListView::IconMode);
    EXPECT_GE(iconView()->iconSize().width(), 32);
    // Rows filled left to right, as before the detour through list mode.
    EXPECT_EQ(iconView()->flow(), QListView::LeftToRight);
    EXPECT_TRUE(iconView()->isWrapping());
}

TEST_F(FolderViewModes, InnerViewsFollowTheWidgetsWidth)
{
    // The search narrows the view to 472 px and widens it again to 848 px.
    for (const ViewMode mode : {ViewMode::List, ViewMode::Details}) {
        view->setViewMode(mode);
        view->resize(472, 590);
        EXPECT_TRUE(QTest::qWaitFor([&] { return shownView()->width() == 472; }, 2000));
        view->resize(848, 590);
        EXPECT_TRUE(QTest::qWaitFor([&] { return shownView()->width() == 848; }, 2000));
    }
}

class FolderViewPath : public FolderViewTest {
protected:
    // Whether the line under the entries comes to say this.
    bool waitForStateLine(const QString &text) const
    {
        const auto *line = view->findChild<QLabel *>(QStringLiteral("listingState"));
        return line && QTest::qWaitFor(
                           [&] { return line->isVisible() && line->text().contains(text); }, 5000);
    }
};

TEST_F(FolderViewPath, ReadsBackTheShownFolderInNativeForm)
{
    tree.mkdir(QStringLiteral("Films/Inside"));
    tree.mkdir(QStringLiteral("Other"));
    const QString films = QDir::toNativeSeparators(tree.path(QStringLiteral("Films")));
    const QString sep = QDir::separator();

    const struct {
        QString written;
        QString readBack;
    } cases[] = {
        {films, films},
        {films + sep, films},
        {films + sep + QStringLiteral("..") + sep + QStringLiteral("Other"),
         QDir::toNativeSeparators(tree.path(QStringLiteral("Other")))},
        {QDir::rootPath(), QDir::toNativeSeparators(QDir::rootPath())},
    };
    for (const auto &c : cases) {
        view->setPath(c.written);
        EXPECT_EQ(view->path(), c.readBack) << c.written.toStdString();
    }

    // With or without the trailing separator, the same folder is listed.
    view->setPath(films + sep);
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("Inside")});
}

TEST_F(FolderViewPath, NothingIsShownWithoutAFolder)
{
    const QString file = tree.writeFile(QStringLiteral("Films/movie.mkv"), "x");
    const QString films = tree.path(QStringLiteral("Films"));
    const QString missing = tree.path(QStringLiteral("Gone/Away"));

    // Before any path: empty, not the file system's roots.
    EXPECT_TRUE(view->path().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownNames().isEmpty());

    view->setPath(films);
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("movie.mkv")});

    // A missing folder: empty in every mode, no dialog, and its path still reads back.
    // Empty once the reading has answered, not merely before it has.
    view->setPath(missing);
    EXPECT_EQ(view->path(), QDir::toNativeSeparators(missing));
    EXPECT_TRUE(waitForStateLine(QStringLiteral("文件夹不存在")));
    EXPECT_TRUE(shownNames().isEmpty());
    view->setViewMode(ViewMode::Details);
    EXPECT_TRUE(shownNames().isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // A file is not a folder to show.
    view->setPath(file);
    EXPECT_TRUE(waitForStateLine(QStringLiteral("不是文件夹")));
    EXPECT_TRUE(shownNames().isEmpty());

    view->setPath(films);
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("movie.mkv")});
    view->setPath(QString());
    EXPECT_TRUE(shownNames().isEmpty());
}

TEST_F(FolderViewPath, ARevisitedFolderShowsWhatChangedMeanwhile)
{
    tree.mkdir(QStringLiteral("Films/Old"));
    tree.mkdir(QStringLiteral("Elsewhere"));
    view->setPath(tree.path(QStringLiteral("Films")));
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("Old")});
    view->setPath(tree.path(QStringLiteral("Elsewhere")));

    tree.mkdir(QStringLiteral("Films/New"));
    view->setPath(tree.path(QStringLiteral("Films")));
    EXPECT_EQ(waitForNames(2), (QStringList{QStringLiteral("New"), QStringLiteral("Old")}));

    // And what changes while it is shown.
    tree.mkdir(QStringLiteral("Films/Newer"));
    EXPECT_EQ(waitForNames(3),
              (QStringList{QStringLiteral("New"), QStringLiteral("Newer"), QStringLiteral("Old")}));
}

using FolderViewOrder = FolderViewTest;

TEST_F(FolderViewOrder, FoldersFirstInNaturalCaseInsensitiveOrder)
{
    for (const char *folder : {"gamma", "Film 10", "Film 2", "alpha", "Beta"})
        tree.mkdir(QLatin1String(folder));
    for (const char *file : {"Zed.txt", "a.txt", "film 1.mkv"})
        tree.writeFile(QLatin1String(file), "x");
    view->setPath(tree.root());

    const QStringList expected = {QStringLiteral("alpha"),      QStringLiteral("Beta"),
                                  QStringLiteral("Film 2"),     QStringLiteral("Film 10"),
                                  QStringLiteral("gamma"),      QStringLiteral("a.txt"),
                                  QStringLiteral("film 1.mkv"), QStringLiteral("Zed.txt")};
    EXPECT_EQ(waitForNames(8), expected);
    view->setViewMode(ViewMode::Details);
    EXPECT_EQ(shownNames(), expected);

    // A click on the Name header reverses the names, folders stay on top.
    QHeaderView *header = detailsView()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
    const QStringList reversed = {QStringLiteral("gamma"),      QStringLiteral("Film 10"),
                                  QStringLiteral("Film 2"),     QStringLiteral("Beta"),
                                  QStringLiteral("alpha"),      QStringLiteral("Zed.txt"),
                                  QStringLiteral("film 1.mkv"), QStringLiteral("a.txt")};
    EXPECT_EQ(shownNames(), reversed);
}

TEST_F(FolderViewOrder, EqualSizesAndTypesFallBackOnNaturalNameOrder)
{
    for (const char *folder : {"Film 10", "Film 2", "alpha", "Beta"})
        tree.mkdir(QLatin1String(folder));
    for (const char *file : {"b 10.txt", "b 9.txt", "A.txt"})
        tree.writeFile(QLatin1String(file), "x");
    tree.writeFile(QStringLiteral("large.txt"), "xxx");
    view->setViewMode(ViewMode::Details);
    view->setPath(tree.root());
    waitForNames(8);

    // Folders all have size 0 and one type; files here share a type, most a size.
    const QStringList expected = {QStringLiteral("alpha"),    QStringLiteral("Beta"),
                                  QStringLiteral("Film 2"),   QStringLiteral("Film 10"),
                                  QStringLiteral("A.txt"),    QStringLiteral("b 9.txt"),
                                  QStringLiteral("b 10.txt"), QStringLiteral("large.txt")};
    for (const int column : {1, 2}) {
        // From reversed names, so that leftover order cannot pass for name order.
        detailsView()->sortByColumn(0, Qt::DescendingOrder);
        detailsView()->sortByColumn(column, Qt::AscendingOrder);
        EXPECT_EQ(shownNames(), expected) << "column " << column;
    }
}

TEST_F(FolderViewOrder, LargeFolderLoadsInNaturalOrder)
{
    constexpr int count = 2000;
    for (int i = count; i >= 1; --i)
        tree.writeFile(QStringLiteral("Film %1.mkv").arg(i));
    tree.mkdir(QStringLiteral("Extras"));
    view->setViewMode(ViewMode::Details);
    view->setPath(tree.root());

    const QStringList names = waitForNames(count + 1);
    ASSERT_EQ(names.size(), count + 1);
    EXPECT_EQ(names.front(), QStringLiteral("Extras"));
    for (int i = 1; i <= count; ++i)
        ASSERT_EQ(names[i], QStringLiteral("Film %1.mkv").arg(i));
}

using FolderViewOpen = FolderViewTest;

TEST_F(FolderViewOpen, OpeningAFolderReportsItAndStaysPut)
{
    tree.mkdir(QStringLiteral("Alpha"));
    tree.mkdir(QStringLiteral("Beta"));
    view->setPath(tree.root());
    QSignalSpy opened(view.get(), &FolderView::itemOpened);

    doubleClick(QStringLiteral("Beta"));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.last().at(0).toString(), QStringLiteral("Beta"));
    EXPECT_EQ(view->path(), QDir::toNativeSeparators(tree.root()));

    view->setViewMode(ViewMode::Details);
    pressEnterOn(QStringLiteral("Alpha"));
    ASSERT_EQ(opened.count(), 2);
    EXPECT_EQ(opened.last().at(0).toString(), QStringLiteral("Alpha"));
    EXPECT_EQ(view->path(), QDir::toNativeSeparators(tree.root()));

    view->setViewMode(ViewMode::List);
    pressEnterOn(QStringLiteral("Beta"));
    ASSERT_EQ(opened.count(), 3);
    EXPECT_EQ(opened.last().at(0).toString(), QStringLiteral("Beta"));
}

TEST_F(FolderViewOpen, EnterAfterAFolderChangeDoesNotReopenTheOldEntry)
{
    tree.mkdir(QStringLiteral("Alpha/Inner"));
    view->setPath(tree.root());
    QSignalSpy opened(view.get(), &FolderView::itemOpened);
    QObject::connect(view.get(), &FolderView::itemOpened, view.get(), [this](const QString &name) {
        view->setPath(view->path() + QDir::separator() + name);
    });

    pressEnterOn(QStringLiteral("Alpha"));
    ASSERT_EQ(opened.count(), 1);
    waitForNames(1);
    QTest::keyClick(shownView(), Qt::Key_Return);
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(view->path(), QDir::toNativeSeparators(tree.path(QStringLiteral("Alpha"))));
}

TEST_F(FolderViewOpen, OpeningAFileHandsItToTheDesktopAndReportsNothing)
{
    const QString movie = tree.writeFile(QStringLiteral("movie.mkv"), "x");
    tree.mkdir(QStringLiteral("Folder"));
    view->setPath(tree.root());
    FileOpener opener;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "open");
    QSignalSpy opened(view.get(), &FolderView::itemOpened);

    doubleClick(QStringLiteral("movie.mkv"));
    view->setViewMode(ViewMode::Details);
    pressEnterOn(QStringLiteral("movie.mkv"));
    // A worker looks first whether the file would run a program.
    static_cast<void>(QTest::qWaitFor([&] { return opener.opened.size() >= 2; }, 5000));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    EXPECT_EQ(opened.count(), 0);
    EXPECT_EQ(opener.opened, (QList<QUrl>{QUrl::fromLocalFile(movie), QUrl::fromLocalFile(movie)}));
    EXPECT_EQ(view->path(), QDir::toNativeSeparators(tree.root()));
}

} // namespace
} // namespace moviecat::test

#include "folderview_test.moc"
