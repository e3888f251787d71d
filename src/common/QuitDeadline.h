#pragma once

#include <QDeadlineTimer>
#include <QFuture>
#include <QString>
#include <QStringList>

#include <chrono>

class QThreadPool;
class Stoppable;

// The one time limit of the app's quit. Each wait of the quit takes what is left of it, and
// what has not ended by then is left behind, named in the log with the time it had. The last step
// (the store's save) has time of its own, whatever the steps before it took. Work left behind
// still runs, on threads that the application object and the static services wait for without a
// limit as they go: a quit that left work behind ends the process itself once the store is saved.
class QuitDeadline final
{
public:
    // limit: the whole quit; reservedForLastStep: what of it the steps before the last leave.
    QuitDeadline(std::chrono::milliseconds limit, std::chrono::milliseconds reservedForLastStep);

    // When a wait before the last step must give up: at that step's deadline, or `atMost` from
    // now when that comes sooner.
    QDeadlineTimer deadline() const { return m_beforeLastStep; }
    QDeadlineTimer deadline(std::chrono::milliseconds atMost) const;
    // When a wait of the last step must give up: at the quit's end.
    QDeadlineTimer lastStepDeadline() const { return m_end; }

    // Takes the outcome of a wait that had until `deadline`: false means `what` had not ended,
    // which the log says, with how long after the start of the quit the wait gave up. Returns
    // `ended`.
    bool note(bool ended, const QString &what, QDeadlineTimer deadline);
    // Waits for a part that was stopped, until `deadline` (deadline() when none is given).
    bool waitUntilEnded(Stoppable &part, const QString &what);
    bool waitUntilEnded(Stoppable &part, const QString &what, QDeadlineTimer deadline);
    // Waits for the tasks of the pool until deadline(); false when some had not ended (the log
    // says how many).
    bool waitForPool(QThreadPool &pool, const QString &name);
    // Waits for the future, whichever thread finishes it.
    bool waitFor(const QFuture<void> &future, const QString &what, QDeadlineTimer deadline);

    // What had not ended when its wait gave up, in the order of the waits.
    const QStringList &leftBehind() const { return m_leftBehind; }

private:
    QDeadlineTimer m_end;
    QDeadlineTimer m_start;
    QDeadlineTimer m_beforeLastStep;
    QStringList m_leftBehind;
};
