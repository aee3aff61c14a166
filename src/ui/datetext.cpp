#include "ui/datetext.h"

namespace moviecat {

QString dateText(const QDateTime &when, DateDetail detail)
{
    switch (detail) {
    case DateDetail::Day:
        return when.toString(QStringLiteral("yyyy-MM-dd"));
    case DateDetail::Minute:
        return when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    case DateDetail::Second:
        break;
    }
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace moviecat
