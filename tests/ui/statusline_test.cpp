// The clock line: the composition of the date and time texts, and what one tick writes.
#include "ui/filenames.h"
#include "ui/statusline.h"
#include "ui/windowless.h"

#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

using namespace moviecat;

TEST(ClockCaption, DateSpaceAndTheTimeFromItsFourthCharacter)
{
    EXPECT_EQ(clockCaption(QStringLiteral("2026-12-07"), QStringLiteral("下午 20:28:28")),
              QStringLiteral("2026-12-07 20:28:28"));
    // Everything after the third character goes in, however long.
    EXPECT_EQ(clockCaption(QStringLiteral("d"), QStringLiteral("AM 10:00:00 extra")),
              QStringLiteral("d 10:00:00 extra"));
    // A time text of three characters or fewer leaves the date and one space.
    for (const char *shortTime : {"", "1", "12:", "abc"})
        EXPECT_EQ(clockCaption(QStringLiteral("2026-12-07"), QString::fromLatin1(shortTime)),
                  QStringLiteral("2026-12-07 "))
            << shortTime;
}

TEST(ClockCaption, TextFormsShowYearMonthDayAndA24HourTime)
{
    EXPECT_EQ(dateText(QDate(2009, 3, 26)), QStringLiteral("2009-03-26"));
    EXPECT_EQ(timeText(QTime(8, 28, 28)), QStringLiteral("上午 08:28:28"));
    EXPECT_EQ(timeText(QTime(20, 5, 0)), QStringLiteral("下午 20:05:00"));
    EXPECT_EQ(clockCaption(dateText(QDate(2009, 3, 26)), timeText(QTime(8, 28, 28))),
              QStringLiteral("2009-03-26 08:28:28"));
}

TEST(StatusLineTick, ReadsTheTimeBeforeTheDateAndShowsTheLastFolderItWasTold)
{
    QTimer timer;
    WindowlessLabel clock;
    WindowlessLabel path;
    path.setCaption(QStringLiteral("......"));

    // A tick across midnight: the time is read first (the old day's last second), the
    // date second (already the new day).
    QStringList reads;
    Clock midnight;
    midnight.time = [&] {
        reads << QStringLiteral("time");
        return QTime(23, 59, 59);
    };
    midnight.date = [&] {
        reads << QStringLiteral("date");
        return QDate(2026, 12, 8);
    };
    StatusLine line({&timer, &clock, &path}, midnight);
    line.tick();
    EXPECT_EQ(reads, (QStringList{QStringLiteral("time"), QStringLiteral("date")}));
    EXPECT_EQ(clock.caption(), QStringLiteral("2026-12-08 23:59:59"));
    EXPECT_EQ(path.caption(), QString()); // no folder yet: empty, not the dots

    line.setCurrentPath(QStringLiteral("/films"));
    line.setCurrentPath(QStringLiteral("/films/Heat"));
    EXPECT_EQ(path.caption(), QString()); // only the tick writes the label
    timer.start(1);
    QSignalSpy ticked(&timer, &QTimer::timeout);
    ASSERT_TRUE(ticked.wait(2000));
    EXPECT_EQ(path.caption(), QStringLiteral("/films/Heat"));

    // A folder named in GBK shows as the user reads it, never as the bytes' stand-ins.
    line.setCurrentPath(FileNames::fromBytes("/films/\xB6\xAF\xD7\xF7\xC6\xAC"));
    line.tick();
    EXPECT_EQ(path.caption(), QStringLiteral("/films/动作片"));
}
