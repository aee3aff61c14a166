// The count on the state line, grouped as the user's locale groups digits.
#include "search/stateline.h"

#include <QLabel>
#include <QLocale>
#include <gtest/gtest.h>

using moviecat::SearchStateLine;

namespace {

TEST(SearchStateLine, TheCountIsGroupedByTheLocale)
{
    struct Case {
        QLocale locale;
        qsizetype lines;
        const char *said;
    };
    const QList<Case> cases = {
        {QLocale::c(), 134'633, "找到 134,633 个"},
        {QLocale(QLocale::Chinese, QLocale::China), 134'633, "找到 134,633 个"},
        {QLocale(QLocale::German, QLocale::Germany), 1'234'567, "找到 1.234.567 个"},
        {QLocale::c(), 0, "找到 0 个"},
    };
    const QLocale before;
    for (const Case &c : cases) {
        QLocale::setDefault(c.locale);
        EXPECT_EQ(SearchStateLine::found(c.lines), QString::fromUtf8(c.said)) << c.said;
    }
    QLocale::setDefault(before);
}

// A malformed query word stays said, after the count, whatever the line says next, until
// a text without one; the list reads the same words.
TEST(SearchStateLine, WordProblemsFollowWhatTheLineSays)
{
    QLocale::setDefault(QLocale::c());
    QWidget list;
    QLabel label;
    SearchStateLine line(&list, &label);
    const QString problem = QStringLiteral("“new:-3”的天数应是 1 到 99999 的整数");

    line.setWordProblems(problem);
    EXPECT_EQ(line.text(), problem);
    line.walked(12, 0, {}, true);
    EXPECT_EQ(line.text(), QStringLiteral("找到 12 个；已核对；") + problem);
    line.clear();
    EXPECT_EQ(line.text(), problem);
    EXPECT_EQ(list.accessibleDescription(), problem);
    line.setWordProblems({});
    EXPECT_TRUE(line.text().isEmpty());
    EXPECT_TRUE(label.isHidden());
}

} // namespace
