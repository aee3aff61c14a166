#include "folderview/foldermodel.h"
#include "folderviewfixture.h"
#include "helpers.h"
#include "movies/nfofile.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QFile>
#include <QItemSelectionModel>
#include <QMimeDatabase>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace moviecat::test {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<const MovieInfo> movie(std::optional<int> year, std::optional<double> rating,
                                       std::optional<int> minutes)
{
    auto made = std::make_shared<MovieInfo>();
    made->year = year;
    made->rating = rating;
    made->minutes = minutes;
    return made;
}

// The movie columns of the rows alone, filled by hand as the loader would.
class MovieColumnsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.setReorderDelay(0ms);
        std::vector<FolderEntry> made;
        for (const char *name : {"Alien (1979)", "Brazil", "Heat", "Ran", "Zulu [1964]"})
            made.push_back(
                makeEntry({QString::fromUtf8(name), EntryKind::Folder}, collator, mimes));
        for (const char *name : {"clip.mkv", "Cube (1997).mkv", "notes (2001).txt"})
            made.push_back(makeEntry({QString::fromUtf8(name), EntryKind::File}, collator, mimes));
        model.addRows(std::move(made));
        model.setMovieInfo(QStringLiteral("Brazil"), movie(1985, 7.9, 132));
        model.setMovieInfo(QStringLiteral("Heat"), movie(1995, 8.3, 170));
        // The .nfo's year wins over the name's.
        model.setMovieInfo(QStringLiteral("Alien (1979)"), movie(1980, std::nullopt, 117));
        model.setMovieInfo(QStringLiteral("clip.mkv"), movie(std::nullopt, 5.0, 3));
    }
    QStringList column(int column) const
    {
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row, column).data().toString();
        return shown;
    }
    QStringList sortedNames(int column, Qt::SortOrder order)
    {
        model.sort(column, order);
        return this->column(FolderModel::NameColumn);
    }

    const QCollator collator = entryCollator();
    const QMimeDatabase mimes;
    FolderModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

QStringList list(std::initializer_list<const char *> names)
{
    QStringList made;
    for (const char *name : names)
        made << QString::fromUtf8(name);
    return made;
}

TEST_F(MovieColumnsTest, ValuesShowAndSortWithEmptyOnesLastEitherWay)
{
    EXPECT_EQ(model.headerData(FolderModel::YearColumn, Qt::Horizontal).toString(),
              QStringLiteral("年份"));
    EXPECT_EQ(model.headerData(FolderModel::RatingColumn, Qt::Horizontal).toString(),
              QStringLiteral("评分"));
    EXPECT_EQ(model.headerData(FolderModel::RuntimeColumn, Qt::Horizontal).toString(),
              QStringLiteral("片长"));
    EXPECT_EQ(column(FolderModel::YearColumn),
              list({"1980", "1985", "1995", "", "1964", "", "1997", ""}));
    EXPECT_EQ(column(FolderModel::RuntimeColumn),
              list({"117 分钟", "132 分钟", "170 分钟", "", "", "3 分钟", "", ""}));
    EXPECT_EQ(model.index(1, FolderModel::RatingColumn).data().toString(),
              QLocale().toString(7.9, 'f', 1));

    // Folders first in either direction, then those with a value, then the rest by name.
    EXPECT_EQ(sortedNames(FolderModel::YearColumn, Qt::AscendingOrder),
              list({"Zulu [1964]", "Alien (1979)", "Brazil", "Heat", "Ran", "Cube (1997).mkv",
                    "clip.mkv", "notes (2001).txt"}));
    EXPECT_EQ(sortedNames(FolderModel::YearColumn, Qt::DescendingOrder),
              list({"Heat", "Brazil", "Alien (1979)", "Zulu [1964]", "Ran", "Cube (1997).mkv",
                    "notes (2001).txt", "clip.mkv"}));
    EXPECT_EQ(sortedNames(FolderModel::RatingColumn, Qt::DescendingOrder),
              list({"Heat", "Brazil", "Zulu [1964]", "Ran", "Alien (1979)", "clip.mkv",
                    "notes (2001).txt", "Cube (1997).mkv"}));
    EXPECT_EQ(sortedNames(FolderModel::RuntimeColumn, Qt::AscendingOrder),
              list({"Alien (1979)", "Brazil", "Heat", "Ran", "Zulu [1964]", "clip.mkv",
                    "Cube (1997).mkv", "notes (2001).txt"}));
}

TEST_F(MovieColumnsTest, AValueArrivingAfterSortingMovesTheRowAndKeepsTheSelection)
{
    QItemSelectionModel selection(&model);
    model.sort(FolderModel::RatingColumn, Qt::DescendingOrder);
    const int ran = model.rowOf(QStringLiteral("Ran"));
    selection.select(model.index(ran, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(column(0).indexOf(QStringLiteral("Ran")), 3);

    model.setMovieInfo(QStringLiteral("Ran"), movie(1985, 8.2, 162));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowOf(QStringLiteral("Ran")) == 1; }, 2000));
    EXPECT_EQ(column(0).mid(0, 3), list({"Heat", "Ran", "Brazil"}));
    ASSERT_EQ(selection.selectedRows().size(), 1);
    EXPECT_EQ(selection.selectedRows().first().data().toString(), QStringLiteral("Ran"));

    // A .nfo gone: the value goes, and the row with it to the end.
    model.setMovieInfo(QStringLiteral("Heat"), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowOf(QStringLiteral("Heat")) == 3; }, 2000));
    EXPECT_TRUE(model.index(3, FolderModel::RatingColumn).data().toString().isEmpty());
    EXPECT_EQ(selection.selectedRows().first().data().toString(), QStringLiteral("Ran"));
}

TEST_F(MovieColumnsTest, TooltipsTellWhatIsKnownInEveryColumn)
{
    auto full = std::make_shared<MovieInfo>(*movie(2002, 8.0, 101));
    full->title = QStringLiteral("无间道");
    full->originalTitle = QStringLiteral("Infernal <Affairs>");
    full->plot = QStringLiteral("第一行\n第二行\n第三行\n第四行");
    model.setMovieInfo(QStringLiteral("Ran"), full);
    const int row = model.rowOf(QStringLiteral("Ran"));
    const QString tip = model.index(row, 0).data(Qt::ToolTipRole).toString();
    for (const char *part : {"无间道", "Infernal &lt;Affairs&gt;", "年份：2002", "片长：101 分钟",
                             "第一行<br>第二行<br>第三行"})
        EXPECT_TRUE(tip.contains(QString::fromUtf8(part))) << part << " in " << tip.toStdString();
    EXPECT_FALSE(tip.contains(QStringLiteral("第四行")));
    EXPECT_EQ(model.index(row, FolderModel::RuntimeColumn).data(Qt::ToolTipRole).toString(), tip);

    // The year from the name alone; nothing at all for a plain file.
    EXPECT_TRUE(model.index(model.rowOf(QStringLiteral("Zulu [1964]")), 0)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("1964")));
    EXPECT_FALSE(model.index(model.rowOf(QStringLiteral("notes (2001).txt")), 0)
                     .data(Qt::ToolTipRole)
                     .isValid());
}

// The whole way: .nfo files on disk, read by workers, shown in the details view.
class MovieDetailsView : public FolderViewTest {
protected:
    QString cell(const QString &name, int column) const
    {
        const QModelIndex index = waitForEntry(name);
        return index.siblingAtColumn(column).data().toString();
    }
    bool waitForCell(const QString &name, int column, const QString &value) const
    {
        return QTest::qWaitFor([&] { return cell(name, column) == value; }, 10000);
    }
};

TEST_F(MovieDetailsView, ColumnsFillFromMovieFoldersAndVideosNfoFiles)
{
    tree.writeFile(QStringLiteral("Heat/movie.nfo"),
                   "<movie><title>Heat</title><year>1995</year><rating>8.3</rating>"
                   "<runtime>170</runtime></movie>");
    tree.writeFile(QStringLiteral("Heat/poster.jpg"), "not looked at in this mode");
    tree.writeFile(QStringLiteral("Hero (2002)/Hero.mkv"));
    tree.writeFile(QStringLiteral("Hero (2002)/Hero.nfo"),
                   "<movie><ratings><rating max=\"100\"><value>79</value></rating></ratings>"
                   "</movie>");
    tree.writeFile(QStringLiteral("Broken/movie.nfo"), "<movie><year>1999</year><runtime>9");
    tree.writeFile(QStringLiteral("Big/movie.nfo"), "<movie><year>2000</year><plot>" +
                                                        QByteArray(NfoFile::maxSize, 'x') +
                                                        "</plot></movie>");
    tree.writeFile(QStringLiteral("Cube.mkv"));
    tree.writeFile(QStringLiteral("Cube.nfo"), "<movie><runtime>90</runtime></movie>");
    view->setViewMode(ViewMode::Details);
    view->setPath(tree.root());

    EXPECT_TRUE(waitForCell(QStringLiteral("Heat"), FolderModel::RuntimeColumn,
                            QStringLiteral("170 分钟")));
    EXPECT_EQ(cell(QStringLiteral("Heat"), FolderModel::YearColumn), QStringLiteral("1995"));
    EXPECT_TRUE(waitForCell(QStringLiteral("Hero (2002)"), FolderModel::RatingColumn,
                            QLocale().toString(7.9, 'f', 1)));
    EXPECT_EQ(cell(QStringLiteral("Hero (2002)"), FolderModel::YearColumn), QStringLiteral("2002"));
    EXPECT_TRUE(waitForCell(QStringLiteral("Cube.mkv"), FolderModel::RuntimeColumn,
                            QStringLiteral("90 分钟")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isLoadingPosters(); }, 10000));
    // A cut-off file keeps what was whole; one over the limit is not read at all.
    EXPECT_EQ(cell(QStringLiteral("Broken"), FolderModel::YearColumn), QStringLiteral("1999"));
    EXPECT_EQ(cell(QStringLiteral("Broken"), FolderModel::RuntimeColumn), QString());
    EXPECT_EQ(cell(QStringLiteral("Big"), FolderModel::YearColumn), QString());
    // The icon modes' tooltip says the same.
    view->setViewMode(ViewMode::LargeIcons);
    EXPECT_TRUE(waitForEntry(QStringLiteral("Heat"))
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("170 分钟")));
}

TEST_F(MovieDetailsView, AChangedNfoIsReadAgainOnTheNextVisit)
{
    const QString nfo =
        tree.writeFile(QStringLiteral("Heat/movie.nfo"), "<movie><year>1995</year></movie>");
    tree.mkdir(QStringLiteral("Elsewhere"));
    view->setViewMode(ViewMode::Details);
    view->setPath(tree.root());
    ASSERT_TRUE(
        waitForCell(QStringLiteral("Heat"), FolderModel::YearColumn, QStringLiteral("1995")));

    view->setPath(tree.path(QStringLiteral("Elsewhere")));
    tree.writeFile(QStringLiteral("Heat/movie.nfo"), "<movie><year>1996</year></movie>");
    QFile file(nfo);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                 QFileDevice::FileModificationTime));
    file.close();
    view->setPath(tree.root());
    EXPECT_TRUE(
        waitForCell(QStringLiteral("Heat"), FolderModel::YearColumn, QStringLiteral("1996")));
}

} // namespace
} // namespace moviecat::test
