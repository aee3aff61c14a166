// The count on the state line, grouped as the user's locale groups digits.
#include "search/stateline.h"

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

} // namespace
