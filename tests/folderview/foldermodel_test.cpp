#include "folderview/foldermodel.h"
#include "helpers.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QMimeDatabase>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace moviecat::test {
namespace {

using namespace std::chrono_literals;

// The rows alone, filled by hand as the reading would, with no worker about.
class FolderModelTest : public ::testing::Test {
protected:
    std::vector<FolderEntry> entries(const QStringList &folders, const QStringList &files) const
    {
        std::vector<FolderEntry> made;
        for (const QString &name : folders)
            made.push_back(makeEntry({name, EntryKind::Folder}, collator, mimes));
        for (const QString &name : files)
            made.push_back(makeEntry({name, EntryKind::File}, collator, mimes));
        return made;
    }
    QStringList names() const
    {
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row, FolderModel::NameColumn).data().toString();
        return shown;
    }
    static NamedFacts fileFacts(const QString &name, qint64 size)
    {
        return {name, {true, EntryKind::File, size, 1000}};
    }

    const QCollator collator = entryCollator();
    const QMimeDatabase mimes;
    FolderModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(FolderModelTest, BatchesMergeIntoOneOrderAndFactsUpdateOrRemoveRows)
{
    model.addRows(entries({QStringLiteral("Film 10")}, {QStringLiteral("b.mkv")}));
    model.addRows(entries({QStringLiteral("film 2")}, {QStringLiteral("A.txt")}));
    // A name shown already (the change notices brought it first) stays once.
    model.addRows(entries({}, {QStringLiteral("b.mkv")}));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("film 2"), QStringLiteral("Film 10"),
                                    QStringLiteral("A.txt"), QStringLiteral("b.mkv")}));

    model.applyFacts({fileFacts(QStringLiteral("b.mkv"), 2048),
                      {QStringLiteral("A.txt"), EntryFacts{}},
                      fileFacts(QStringLiteral("never listed"), 1)});
    EXPECT_EQ(names(), (QStringList{QStringLiteral("film 2"), QStringLiteral("Film 10"),
                                    QStringLiteral("b.mkv")}));
    EXPECT_FALSE(model.index(2, FolderModel::SizeColumn).data().toString().isEmpty());
    EXPECT_TRUE(model.index(0, FolderModel::SizeColumn).data().toString().isEmpty());
    EXPECT_EQ(model.index(0, FolderModel::TypeColumn).data().toString(), QStringLiteral("文件夹"));

    // An entry listed without a kind moves among the folders once stat says so.
    std::vector<FolderEntry> plain;
    plain.push_back(makeEntry({QStringLiteral("aaa"), EntryKind::Unknown}, collator, mimes));
    model.addRows(std::move(plain));
    EXPECT_EQ(model.rowOf(QStringLiteral("aaa")), 2);
    model.setReorderDelay(0ms);
    model.applyFacts({{QStringLiteral("aaa"), {true, EntryKind::Folder, 0, 1000}}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowOf(QStringLiteral("aaa")) == 0; }, 2000));
    EXPECT_EQ(model.kind(0), EntryKind::Folder);

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.rowOf(QStringLiteral("b.mkv")), -1);
}

TEST_F(FolderModelTest, SizesStreamingInMoveTheRowsOnceAfterAPause)
{
    QStringList files;
    for (int i = 0; i < 200; ++i)
        files << QStringLiteral("Film %1.mkv").arg(i);
    model.addRows(entries({}, files));
    model.sort(FolderModel::SizeColumn, Qt::AscendingOrder);
    QItemSelectionModel selection(&model);
    selection.setCurrentIndex(model.index(model.rowOf(QStringLiteral("Film 7.mkv")), 0),
                              QItemSelectionModel::ClearAndSelect);
    QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);

    // Sizes falling as the names rise: every batch would move rows.
    for (int batch = 0; batch < 20; ++batch) {
        std::vector<NamedFacts> facts;
        for (int i = batch * 10; i < batch * 10 + 10; ++i)
            facts.push_back(fileFacts(files[i], 1000 - i));
        model.applyFacts(facts);
    }
    EXPECT_EQ(layouts.count(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return layouts.count() > 0; }, 2000));
    EXPECT_EQ(layouts.count(), 1);
    EXPECT_EQ(model.name(0), QStringLiteral("Film 199.mkv"));
    EXPECT_EQ(model.name(199), QStringLiteral("Film 0.mkv"));
    EXPECT_EQ(selection.currentIndex().data().toString(), QStringLiteral("Film 7.mkv"));
    EXPECT_TRUE(selection.isSelected(selection.currentIndex()));

    // A click on a header sorts at once.
    model.sort(FolderModel::NameColumn, Qt::AscendingOrder);
    EXPECT_EQ(layouts.count(), 2);
    EXPECT_EQ(model.name(0), QStringLiteral("Film 0.mkv"));
}

TEST_F(FolderModelTest, AnIconChangeRepaintsOnlyThatEntry)
{
    model.addRows(entries({QStringLiteral("Alpha"), QStringLiteral("Beta")}, {}));
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.iconChanged(QStringLiteral("Beta"));
    model.iconChanged(QStringLiteral("Gone"));
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toModelIndex(), model.index(1, FolderModel::NameColumn));
    EXPECT_EQ(changes.at(0).at(2).value<QList<int>>(), QList<int>{Qt::DecorationRole});
}

} // namespace
} // namespace moviecat::test
