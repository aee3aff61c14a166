#pragma once

#include <QDateTime>
#include <QString>

namespace moviecat {

// How much of a moment a place shows.
enum class DateDetail { Day, Minute, Second };

// The one way a date shows to the user, in the order of the window's clock:
// 2009-03-26, 2009-03-26 08:28 or 2009-03-26 08:28:05 (24-hour, local time).
QString dateText(const QDateTime &when, DateDetail detail);

} // namespace moviecat
