#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <QTime>
#include <functional>

class QTimer;

namespace moviecat {

class WindowlessLabel;

// Where the status line gets the time of day and the date; tests put in their own.
struct Clock {
    std::function<QTime()> time = [] {
        return QTime::currentTime();
    };
    std::function<QDate()> date = [] {
        return QDate::currentDate();
    };
};

// The desktop's text forms: a year-month-day date, and a time led by a two-character
// morning/afternoon marker and a space, then a 24-hour time.
QString dateText(const QDate &date);
QString timeText(const QTime &time);

// The clock line: the date, one space, and the time text from its fourth character on.
QString clockCaption(const QString &date, const QString &time);

// Refreshes the clock and the current-path label on every tick of the clock timer; the
// path shown is the last one it was told.
class StatusLine : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QTimer *timer = nullptr;               // Timer1
        WindowlessLabel *clockLabel = nullptr; // Label19
        WindowlessLabel *pathLabel = nullptr;  // Label24
    };

    StatusLine(const Controls &controls, Clock clock = {}, QObject *parent = nullptr);

    void tick();
    // The folder the view shows now (FileNames carries its bytes); it appears, readably,
    // at the next tick.
    void setCurrentPath(const QString &path);

private:
    Controls m_controls;
    Clock m_clock;
    QString m_currentPath;
};

} // namespace moviecat
