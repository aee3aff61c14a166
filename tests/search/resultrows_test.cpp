#include "search/resultrows.h"

#include <QListWidget>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

using namespace moviecat;

namespace {

QStringList pathsCalled(const QString &stem, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("/films/%1 %2").arg(stem).arg(i);
    return paths;
}

QStringList shown(const QListWidget &list)
{
    QStringList lines;
    for (int row = 0; row < list.count(); ++row)
        lines << list.item(row)->text();
    return lines;
}

} // namespace

// A long answer goes in a slice at a time; a new one in the middle of that replaces it
// whole, and every line is decorated once, with its own row.
TEST(ResultRows, LongAnswersGoInBySlicesAndANewOneReplacesTheRest)
{
    QListWidget list;
    ResultRows rows(&list);
    QList<int> decorated;
    rows.setDecorate([&](QListWidgetItem *item, int row) {
        decorated << row;
        item->setToolTip(rows.paths().at(row));
    });

    const QStringList first = pathsCalled(QStringLiteral("Heat"), 20 * ResultRows::firstRows);
    rows.show(first);
    EXPECT_EQ(list.count(), ResultRows::firstRows) << "the first screens at once";
    EXPECT_FALSE(rows.isComplete());
    rows.loadThrough(3 * ResultRows::firstRows);
    EXPECT_EQ(list.count(), 3 * ResultRows::firstRows + 1);
    EXPECT_EQ(list.item(3 * ResultRows::firstRows)->text(), first.at(3 * ResultRows::firstRows));

    const QStringList second = pathsCalled(QStringLiteral("Alien"), 4 * ResultRows::firstRows);
    decorated.clear();
    rows.show(second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows.isComplete(); }, 5000));
    QCoreApplication::processEvents(); // a slice of the first answer must not follow
    EXPECT_EQ(shown(list), second);
    EXPECT_EQ(decorated.size(), second.size());
    EXPECT_EQ(QSet<int>(decorated.begin(), decorated.end()).size(), second.size());
    for (int row : {0, ResultRows::firstRows, int(second.size()) - 1})
        EXPECT_EQ(list.item(row)->toolTip(), second.at(row));

    rows.clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(rows.isComplete());
}
