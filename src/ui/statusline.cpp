#include "ui/statusline.h"

#include "ui/datetext.h"
#include "ui/filenames.h"
#include "ui/windowless.h"

#include <QTimer>

namespace moviecat {

QString dateText(const QDate &date)
{
    return dateText(date.startOfDay(), DateDetail::Day);
}

QString timeText(const QTime &time)
{
    const QString marker = time.hour() < 12 ? QStringLiteral("上午") : QStringLiteral("下午");
    return marker + QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
}

QString clockCaption(const QString &date, const QString &time)
{
    return date + QLatin1Char(' ') + time.mid(3);
}

StatusLine::StatusLine(const Controls &controls, Clock clock, QObject *parent)
    : QObject(parent), m_controls(controls), m_clock(std::move(clock))
{
    connect(m_controls.timer, &QTimer::timeout, this, &StatusLine::tick);
}

void StatusLine::tick()
{
    // Time before date: a tick across midnight may pair the old day's last second with
    // the new date, never a new time with yesterday.
    const QString time = timeText(m_clock.time());
    const QString date = dateText(m_clock.date());
    m_controls.clockLabel->setCaption(clockCaption(date, time));
    m_controls.pathLabel->setCaption(m_currentPath);
}

void StatusLine::setCurrentPath(const QString &path)
{
    m_currentPath = FileNames::readable(path);
}

} // namespace moviecat
