#pragma once

#include <QMetaObject>
#include <QMutex>

namespace moviecat {

// Where workers hand in their answers: each one becomes a queued call on the
// target's thread. The target detaches itself under the lock before it goes,
// so nothing is posted to a dead object; a worker that outlives it (one stuck
// on a dead share) finds no one to answer and drops its answer.
template <typename Target> class Sink {
public:
    explicit Sink(Target *target) : m_target(target) {}

    // Calls deliver(target) on the target's thread, if the target is still there.
    template <typename Deliver> void post(Deliver deliver)
    {
        QMutexLocker lock(&m_mutex);
        if (Target *target = m_target) {
            QMetaObject::invokeMethod(
                target, [target, deliver = std::move(deliver)]() mutable { deliver(target); },
                Qt::QueuedConnection);
        }
    }
    void detach()
    {
        QMutexLocker lock(&m_mutex);
        m_target = nullptr;
    }

private:
    QMutex m_mutex;
    Target *m_target;
};

} // namespace moviecat
