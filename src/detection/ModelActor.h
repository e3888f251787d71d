#pragma once

#include "common/SerialExecutor.h"
#include "common/Stoppable.h"

#include <QDeadlineTimer>
#include <QFuture>

#include <functional>
#include <utility>

// The actor side of a model runner: loading and unloading queued one at a time on the
// runner's own thread, beside its other queued work. The runner (Runner derives from
// ModelActor<Runner>) provides loadModel(), loadModelIfNeeded() and unloadModel(), and waits
// for the thread to be idle in its destructor, before its own members go.
template <typename Runner> class ModelActor : public Stoppable
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

    // Takes no more work: at shut-down nothing may load a model after the application object
    // has gone.
    void stop() override { m_executor.stop(); }
    // After stop(): waits for what was queued, until the deadline. False when work still runs (a
    // model file that does not answer): it is left to end by itself.
    bool waitUntilEnded(QDeadlineTimer deadline) override { return m_executor.waitUntilEnded(deadline); }
    // Runs the job on the model's thread after what was queued before (test hooks hold the thread
    // with it).
    void runOnItsThread(std::function<void()> job) { (void)m_executor.run(std::move(job)); }

protected:
    ModelActor() = default;
    ~ModelActor() = default;

    SerialExecutor m_executor;

private:
    Runner &runner() { return static_cast<Runner &>(*this); }
};
