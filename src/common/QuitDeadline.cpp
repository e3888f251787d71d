#include "common/QuitDeadline.h"

#include "common/Diagnostics.h"
#include "common/Stoppable.h"

#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

int remainingMs(const QDeadlineTimer &deadline)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX));
}

QDeadlineTimer shifted(const QDeadlineTimer &deadline, std::chrono::milliseconds by)
{
    return QDeadlineTimer::addNSecs(deadline, std::chrono::nanoseconds(by).count());
}

} // namespace

QuitDeadline::QuitDeadline(std::chrono::milliseconds limit, std::chrono::milliseconds reservedForLastStep)
    : m_end(limit)
    , m_start(shifted(m_end, -limit))
    , m_beforeLastStep(shifted(m_end, -reservedForLastStep))
{ }

QDeadlineTimer QuitDeadline::deadline(std::chrono::milliseconds atMost) const
{
    return std::min(m_beforeLastStep, QDeadlineTimer(atMost));
}

bool QuitDeadline::note(bool ended, const QString &what, QDeadlineTimer deadline)
{
    if (ended)
        return true;
    m_leftBehind.append(what);
    // To the millisecond: a wait's own bound may be shorter than the quit's.
    const qint64 givenMs = qRound64(double(deadline.deadlineNSecs() - m_start.deadlineNSecs()) / 1e6);
    printDiagnostic(QStringLiteral("[Quit] %1 had not ended %2 s after the quit began: left behind")
                        .arg(what)
                        .arg(double(givenMs) / 1000.0));
    return false;
}

bool QuitDeadline::waitUntilEnded(Stoppable &part, const QString &what)
{
    return waitUntilEnded(part, what, m_beforeLastStep);
}

bool QuitDeadline::waitUntilEnded(Stoppable &part, const QString &what, QDeadlineTimer deadline)
{
    return note(part.waitUntilEnded(deadline), what, deadline);
}

bool QuitDeadline::waitForPool(QThreadPool &pool, const QString &name)
{
    if (pool.waitForDone(remainingMs(m_beforeLastStep)))
        return true;
    const int busy = pool.activeThreadCount();
    return note(false,
        QStringLiteral("%1 task%2 of %3").arg(busy).arg(busy == 1 ? QString() : QStringLiteral("s"), name),
        m_beforeLastStep);
}

bool QuitDeadline::waitFor(const QFuture<void> &future, const QString &what, QDeadlineTimer deadline)
{
    // Shared with the continuation, which may run after this wait has given up.
    auto done = std::make_shared<QSemaphore>();
    const auto release = [done] { done->release(); };
    QFuture<void>(future).then(QtFuture::Launch::Sync, release).onFailed(release).onCanceled(release);
    return note(done->tryAcquire(1, remainingMs(deadline)), what, deadline);
}
