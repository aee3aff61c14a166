#include "ui/datetext.h"

#include <gtest/gtest.h>

namespace moviecat {
namespace {

struct DateCase {
    const char *name;
    QDateTime when;
    DateDetail detail;
    const char *expected;
};

class DateTextTest : public testing::TestWithParam<DateCase> {};

// One order for every date the window shows; hours past noon stay 24-hour, as the clock has them.
TEST_P(DateTextTest, ShowsTheMomentInTheClocksOrder)
{
    const DateCase &c = GetParam();
    EXPECT_EQ(dateText(c.when, c.detail), QString::fromLatin1(c.expected));
}

const QDateTime afternoon(QDate(2009, 3, 26), QTime(20, 5, 9));
const QDateTime morning(QDate(2026, 12, 1), QTime(0, 7, 0));

INSTANTIATE_TEST_SUITE_P(
    Dates, DateTextTest,
    testing::Values(DateCase{"Day", afternoon, DateDetail::Day, "2009-03-26"},
                    DateCase{"Minute", afternoon, DateDetail::Minute, "2009-03-26 20:05"},
                    DateCase{"Second", afternoon, DateDetail::Second, "2009-03-26 20:05:09"},
                    DateCase{"MidnightHour", morning, DateDetail::Minute, "2026-12-01 00:07"}),
    [](const testing::TestParamInfo<DateCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace moviecat
