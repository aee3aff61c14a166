// The history behind Back: what restart, enter and back leave, and what they announce.
#include "app/navigationhistory.h"
#include "helpers.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace moviecat::test {
namespace {

class NavigationHistoryTest : public ::testing::Test {
protected:
    // The paths announced since the last call, in order.
    QStringList announced()
    {
        QStringList paths;
        for (const QList<QVariant> &call : std::as_const(changes))
            paths << call.at(0).toString();
        changes.clear();
        return paths;
    }

    NavigationHistory history;
    QSignalSpy changes{&history, &NavigationHistory::currentChanged};
};

TEST_F(NavigationHistoryTest, RestartHoldsOneFolderAndDropsWhatWasBrowsed)
{
    EXPECT_TRUE(history.current().isEmpty());
    history.back(); // nothing to go back to, nothing announced
    EXPECT_TRUE(history.paths().isEmpty());

    history.restart(QStringLiteral("/A"));
    history.enter(QStringLiteral("/A/B"));
    history.enter(QStringLiteral("/A/B/C"));
    EXPECT_EQ(announced(), (QStringList{QStringLiteral("/A"), QStringLiteral("/A/B"),
                                        QStringLiteral("/A/B/C")}));

    // Starting again at the same folder still drops the sub-folders and shows it anew.
    history.restart(QStringLiteral("/A"));
    history.restart(QStringLiteral("/A"));
    EXPECT_EQ(history.paths(), QStringList{QStringLiteral("/A")});
    EXPECT_EQ(history.current(), QStringLiteral("/A"));
    EXPECT_EQ(announced(), (QStringList{QStringLiteral("/A"), QStringLiteral("/A")}));
}

TEST_F(NavigationHistoryTest, BackReturnsOneFolderAtATimeDownToTheFirst)
{
    history.restart(QStringLiteral("/r"));
    history.enter(QStringLiteral("/r/A"));
    history.enter(QStringLiteral("/r/A/B"));
    announced();

    history.back();
    EXPECT_EQ(history.current(), QStringLiteral("/r/A"));
    history.back();
    history.back(); // the first folder is never removed
    EXPECT_EQ(history.paths(), QStringList{QStringLiteral("/r")});
    EXPECT_EQ(announced(), (QStringList{QStringLiteral("/r/A"), QStringLiteral("/r")}));
}

TEST_F(NavigationHistoryTest, EnteringBeforeAnyRestartStartsTheHistory)
{
    history.enter(QStringLiteral("/A/B2"));
    history.back();
    EXPECT_EQ(history.paths(), QStringList{QStringLiteral("/A/B2")});
    EXPECT_EQ(announced(), QStringList{QStringLiteral("/A/B2")});
}

TEST_F(NavigationHistoryTest, GrowsPastSixteenBits)
{
    constexpr int opens = 33000;
    history.restart(QStringLiteral("/A"));
    for (int i = 0; i < opens; ++i)
        history.enter(QStringLiteral("/A/%1").arg(i));
    ASSERT_EQ(history.paths().size(), opens + 1);
    history.back();
    EXPECT_EQ(history.paths().size(), opens);
    EXPECT_EQ(history.current(), QStringLiteral("/A/%1").arg(opens - 2));
}

TEST(ChildFolder, JoinsWithOneSeparatorInTheViewsSpelling)
{
    const struct {
        const char *folder, *name, *expected;
    } cases[] = {
        {"/", "home", "/home"},      // a root already ends in the separator
        {"/A/B", "C", "/A/B/C"},     // an ordinary folder gets one
        {"/A/", "B", "/A/B"},        // a trailing separator is not doubled
        {"/A", "", "/A"},            // no name: the folder itself, without a separator
        {"/A", "x y=1", "/A/x y=1"}, // names are taken as they are
        {"", "A", "/A"},             // nothing shown: below the root, as the view reads it
    };
    for (const auto &c : cases)
        EXPECT_EQ(childFolder(QString::fromUtf8(c.folder), QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.expected))
            << c.folder << " + " << c.name;
}

} // namespace
} // namespace moviecat::test
