#include "folderview/operationrunner.h"

#include "folderview/workerpool.h"

#include <QMutex>
#include <QMutexLocker>

namespace moviecat {

namespace {
// How long an operation may take before the window says the disk does not answer.
constexpr std::chrono::seconds notAnsweringAfter{10};
} // namespace

struct OperationRunner::Sink {
    QMutex mutex;
    OperationRunner *target = nullptr;

    void post(std::function<void()> deliver)
    {
        QMutexLocker lock(&mutex);
        if (OperationRunner *runner = target) {
            QMetaObject::invokeMethod(
                runner, [runner, deliver = std::move(deliver)] { runner->finished(deliver); },
                Qt::QueuedConnection);
        }
    }
};

OperationRunner::OperationRunner(QObject *parent) : OperationRunner(WorkerPool::shared(), parent) {}

OperationRunner::OperationRunner(WorkerPool &pool, QObject *parent)
    : QObject(parent), m_pool(pool), m_sink(std::make_shared<Sink>())
{
    m_sink->target = this;
    m_slow.setSingleShot(true);
    m_slow.setInterval(notAnsweringAfter);
    connect(&m_slow, &QTimer::timeout, this, [this] { setWaiting(Waiting::NotAnswering); });
}

OperationRunner::~OperationRunner()
{
    QMutexLocker lock(&m_sink->mutex);
    m_sink->target = nullptr;
}

void OperationRunner::setNotAnsweringAfter(std::chrono::milliseconds limit)
{
    m_slow.setInterval(limit);
}

void OperationRunner::start(std::function<std::function<void()>()> task)
{
    if (m_pending++ == 0) {
        m_slow.start();
        setWaiting(Waiting::Working);
    }
    m_pool.start([sink = m_sink, task = std::move(task)] { sink->post(task()); });
}

void OperationRunner::finished(const std::function<void()> &deliver)
{
    if (--m_pending == 0) {
        m_slow.stop();
        setWaiting(Waiting::None);
    } else if (m_waiting == Waiting::Working) {
        // The next one in line gets its own time.
        m_slow.start();
    }
    deliver();
}

void OperationRunner::setWaiting(Waiting waiting)
{
    if (waiting == m_waiting)
        return;
    m_waiting = waiting;
    emit waitingChanged(waiting);
}

} // namespace moviecat
