#pragma once

// Pieces the benchmarks share: an event-loop gap meter and waiting with a
// deadline while the loop runs.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <functional>

namespace bench {

// CPU time of the calling thread: what a slow event cost, apart from the time
// the thread waited for a core that other work held.
inline qint64 threadCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// Times each event delivered from the event loop, so that a long gap can be
// pinned on what caused it.
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth > 0)
            return QApplication::notify(receiver, event);
        ++m_depth;
        QElapsedTimer clock;
        clock.start();
        const qint64 cpuStart = threadCpuUs();
        const QEvent::Type type = event->type();
        const QString what = QString::fromLatin1(receiver->metaObject()->className()) +
                             QLatin1Char('/') + receiver->objectName();
        const bool result = QApplication::notify(receiver, event);
        --m_depth;
        const qint64 took = clock.elapsed();
        if (took > m_slowest) {
            m_slowest = took;
            m_slowestWhat = QStringLiteral("%1 event %2, %3 ms of CPU")
                                .arg(what)
                                .arg(int(type))
                                .arg((threadCpuUs() - cpuStart) / 1000);
        }
        return result;
    }
    void restart()
    {
        m_slowest = 0;
        m_slowestWhat.clear();
    }
    QString slowest() const
    {
        return QStringLiteral("%1 ms (%2)").arg(m_slowest).arg(m_slowestWhat);
    }

private:
    int m_depth = 0;
    qint64 m_slowest = 0;
    QString m_slowestWhat;
};

// Longest gap between the ticks of a 5 ms timer: how long the loop was busy.
class StallMeter : public QObject {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this,
                [this] { m_longest = std::max(m_longest, m_sinceTick.restart()); });
        m_timer.start();
        restart();
    }
    void restart()
    {
        m_longest = 0;
        m_sinceTick.start();
    }
    qint64 longest() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

// Runs the event loop until done() or the timeout; a timer (the stall meter's)
// must wake the loop.
inline bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline const char *verdict(qint64 value, qint64 target)
{
    return value <= target ? "ok" : "MISSED";
}

} // namespace bench
