#include "disk/operationrunner.h"

#include "disk/sink.h"
#include "disk/workerpool.h"

namespace moviecat {

namespace {
// How long an operation may take before the window says the disk does not answer.
constexpr std::chrono::seconds notAnsweringAfter{10};
} // namespace

OperationRunner::OperationRunner(QObject *parent) : OperationRunner(WorkerPool::shared(), parent) {}

OperationRunner::OperationRunner(WorkerPool &pool, QObject *parent)
    : QObject(parent), m_pool(pool), m_sink(std::make_shared<Sink<OperationRunner>>(this))
{
    m_slow.setSingleShot(true);
    m_slow.setInterval(notAnsweringAfter);
    connect(&m_slow, &QTimer::timeout, this, [this] { setWaiting(Waiting::NotAnswering); });
}

OperationRunner::~OperationRunner()
{
    m_sink->detach();
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
    m_pool.start([sink = m_sink, task = std::move(task)] {
        sink->post([deliver = task()](OperationRunner *runner) { runner->finished(deliver); });
    });
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
