#pragma once

#include "common/SerialExecutor.h"

#include <QDeadlineTimer>
#include <QFuture>

// The actor side of a model runner: loading and unloading queued one at a time on the
// runner's own thread, beside its other queued work. The runner (Runner derives from
// ModelActor<Runner>) provides loadModel(), loadModelIfNeeded() and unloadModel(), and waits
// for the thread to be idle in its destructor, before its own members go.
template <typename Runner> class ModelActor
{
public:
    QFuture<bool> loadModelAsync()
    {
        return m_executor.run([this] { return runner().loadModel(); });
    }
    // Loads only when not loaded yet; the future gives whether the model is loaded.
    QFuture<bool> loadModelIfNeededAsync()
    {
        return m_executor.run([this] { return runner().loadModelIfNeeded(); });
    }
    QFuture<void> unloadModelAsync()
    {
        return m_executor.run([this] { runner().unloadModel(); });
    }

    // Takes no more work and waits for what was queued, until the deadline: at shut-down
    // nothing may load a model after the application object has gone. False when work still
    // runs (a model file that does not answer): it is left to end by itself.
    bool shutDown(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever))
    {
        return m_executor.close(deadline);
    }

protected:
    ModelActor() = default;
    ~ModelActor() = default;

    SerialExecutor m_executor;

private:
    Runner &runner() { return static_cast<Runner &>(*this); }
};
