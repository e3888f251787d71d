#pragma once

#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

// A strand: work submitted here runs one job at a time, in submission order, on a
// thread of its own. Services that own state touched only from their own work (the
// detection service, the model runners, store maintenance) keep one each, so the
// main thread hands them work and continues with the QFuture.
class SerialExecutor final
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
    auto run(Function &&function)
    {
        return QtConcurrent::run(&m_pool, std::forward<Function>(function));
    }

    // Blocks until every job submitted so far has finished. For shut-down and tests only.
    void waitForIdle() { m_pool.waitForDone(); }

private:
    QThreadPool m_pool;
};
