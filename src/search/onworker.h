#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>
#include <functional>

namespace moviecat {

// Runs job on a pool thread and hands its result to done on context's thread, unless
// context is gone by then. job may use only what it captured by value.
template <typename Result, typename Job>
void onWorker(QObject *context, Job job, std::function<void(const Result &)> done)
{
    auto *watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(watcher->result());
                     });
    watcher->setFuture(QtConcurrent::run(std::move(job)));
}

} // namespace moviecat
