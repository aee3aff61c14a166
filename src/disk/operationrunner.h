#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <utility>

namespace moviecat {

template <typename Target> class Sink;
class WorkerPool;

// Runs the folder view's file operations on workers and hands each answer
// back on the window's thread. While any is pending it says so at once, and
// that the disk does not answer once one has waited too long; nothing ever
// waits for a worker. Answers that arrive after the runner has gone are
// dropped.
class OperationRunner : public QObject {
    Q_OBJECT
public:
    enum class Waiting { None, Working, NotAnswering };
    Q_ENUM(Waiting)

    explicit OperationRunner(QObject *parent = nullptr);
    OperationRunner(WorkerPool &pool, QObject *parent = nullptr);
    ~OperationRunner() override;

    // Runs work() on a worker, then done(answer) on this object's thread.
    template <typename Work, typename Done> void run(Work work, Done done)
    {
        start([work = std::move(work), done = std::move(done)]() mutable {
            auto answer = work();
            return std::function<void()>(
                [done = std::move(done), answer = std::move(answer)]() mutable {
                    done(std::move(answer));
                });
        });
    }

    Waiting waiting() const { return m_waiting; }
    int pending() const { return m_pending; }
    void setNotAnsweringAfter(std::chrono::milliseconds limit);

signals:
    void waitingChanged(moviecat::OperationRunner::Waiting waiting);

private:
    void start(std::function<std::function<void()>()> task);
    void finished(const std::function<void()> &deliver);
    void setWaiting(Waiting waiting);

    WorkerPool &m_pool;
    std::shared_ptr<Sink<OperationRunner>> m_sink;
    QTimer m_slow;
    int m_pending = 0;
    Waiting m_waiting = Waiting::None;
};

} // namespace moviecat
