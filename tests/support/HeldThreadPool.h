#pragma once

#include <QSemaphore>
#include <QThreadPool>

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
            pool->start([this] {
                m_busy.release();
                m_gate.acquire();
            });
        }
        m_busy.acquire(m_held);
    }
    void release() { m_gate.release(std::exchange(m_held, 0)); }

private:
    QSemaphore m_busy;
    QSemaphore m_gate;
    int m_held = 0;
};
