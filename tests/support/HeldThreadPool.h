#pragma once

#include <QSemaphore>
#include <QThreadPool>

#include <memory>
#include <utility>

// Keeps every thread of Qt's global pool busy, so that work started meanwhile waits in the
// pool's queue until release(): a test decides when background work may end instead of racing
// it.
class HeldThreadPool final
{
public:
    HeldThreadPool() = default;
    HeldThreadPool(const HeldThreadPool &) = delete;
    HeldThreadPool &operator=(const HeldThreadPool &) = delete;
    ~HeldThreadPool() { release(); }

    void hold()
    {
        QThreadPool *pool = QThreadPool::globalInstance();
        m_held = pool->maxThreadCount();
        for (int i = 0; i < m_held; ++i) {
            pool->start([gates = m_gates] {
                gates->busy.release();
                gates->open.acquire();
            });
        }
        m_gates->busy.acquire(m_held);
    }
    void release() { m_gates->open.release(std::exchange(m_held, 0)); }

private:
    // Shared with the tasks: one woken by release() may still be inside acquire() when the
    // holder goes, so the semaphores live until the last task has returned.
    struct Gates
    {
        QSemaphore busy;
        QSemaphore open;
    };
    std::shared_ptr<Gates> m_gates = std::make_shared<Gates>();
    int m_held = 0;
};
