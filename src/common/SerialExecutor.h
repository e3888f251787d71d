#pragma once

#include "common/Stoppable.h"

#include <QDeadlineTimer>
#include <QFuture>
#include <QPromise>
#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <type_traits>
#include <utility>

// A strand: work submitted here runs one job at a time, in submission order, on a
// thread of its own. Services that own state touched only from their own work (the
// detection service, the model runners, store maintenance) keep one each, so the
// main thread hands them work and continues with the QFuture.
//
// Jobs are fulfilled through a promise rather than QtConcurrent::run: waiting on a
// QtConcurrent future that has not started lets Qt run the job on the waiting thread,
// which would break the one-at-a-time promise.
class SerialExecutor final : public Stoppable
{
public:
    SerialExecutor()
    {
        m_pool.setMaxThreadCount(1);
        // Keep the thread around between bursts of work: the first job of a burst then
        // costs no thread start.
        m_pool.setExpiryTimeout(-1);
    }
    ~SerialExecutor() { m_pool.waitForDone(); }

    SerialExecutor(const SerialExecutor &) = delete;
    SerialExecutor &operator=(const SerialExecutor &) = delete;

    template <typename Function>
    auto run(Function &&function) -> QFuture<std::invoke_result_t<std::decay_t<Function>>>
    {
        using Result = std::invoke_result_t<std::decay_t<Function>>;
        auto promise = std::make_shared<QPromise<Result>>();
        auto job = std::make_shared<std::decay_t<Function>>(std::forward<Function>(function));
        QFuture<Result> future = promise->future();
        promise->start();
        if (m_stopped.load()) {
            // Refused: what would have continued with the result does not run either.
            future.cancel();
            promise->finish();
            return future;
        }
        m_pool.start([promise, job] {
            if constexpr (std::is_void_v<Result>)
                (*job)();
            else
                promise->addResult((*job)());
            promise->finish();
        });
        return future;
    }

    // Blocks until every job submitted so far has finished, or the deadline has passed: false
    // then (a job still runs). For shut-down and tests only. The thread stays: objects created
    // on it (a store context) keep their thread, so later jobs and the changes other threads
    // post to them still find it. No future is waited on: the wait also runs from static
    // destructors, after Qt's global pool is gone.
    bool waitForIdle(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever))
    {
        if (m_pool.activeThreadCount() == 0)
            return true;
        // Shared with the job: release() may still be touching the semaphore after acquire()
        // here has returned (or given up), so it must not live on this stack.
        auto done = std::make_shared<QSemaphore>();
        m_pool.start([done] { done->release(); });
        if (deadline.isForever()) {
            done->acquire();
            return true;
        }
        return done->tryAcquire(1, int(std::min<qint64>(deadline.remainingTime(), INT_MAX)));
    }

    // Runs nothing submitted from now on: its future is cancelled at once. For shut-down: no work
    // starts once the application is going.
    void stop() override { m_stopped = true; }
    // After stop(): waits for what was submitted before, until the deadline (false: a job still
    // runs, and is left to end by itself).
    bool waitUntilEnded(QDeadlineTimer deadline) override { return waitForIdle(deadline); }

private:
    QThreadPool m_pool;
    std::atomic<bool> m_stopped { false };
};
