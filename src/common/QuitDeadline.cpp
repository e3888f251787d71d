#include "common/QuitDeadline.h"

#include "common/Diagnostics.h"

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

} // namespace

QuitDeadline::QuitDeadline(std::chrono::milliseconds limit, std::chrono::milliseconds reservedForLastStep)
    : m_limit(limit)
    , m_end(limit)
    , m_beforeLastStep(
          QDeadlineTimer::addNSecs(m_end, -std::chrono::nanoseconds(reservedForLastStep).count()))
{ }

QDeadlineTimer QuitDeadline::deadline(std::chrono::milliseconds atMost) const
{
    return std::min(m_beforeLastStep, QDeadlineTimer(atMost));
}

bool QuitDeadline::note(bool ended, const QString &what)
{
    if (ended)
        return true;
    m_leftBehind.append(what);
    printDiagnostic(QStringLiteral("[Quit] %1 had not ended within the quit's %2 s: left behind")
                        .arg(what)
                        .arg(double(m_limit.count()) / 1000.0));
    return false;
}

bool QuitDeadline::waitForPool(QThreadPool &pool, const QString &name)
{
    if (pool.waitForDone(remainingMs(m_beforeLastStep)))
        return true;
    const int busy = pool.activeThreadCount();
    return note(false,
        QStringLiteral("%1 task%2 of %3").arg(busy).arg(busy == 1 ? QString() : QStringLiteral("s"), name));
}

bool QuitDeadline::waitFor(const QFuture<void> &future, const QString &what, QDeadlineTimer deadline)
{
    // Shared with the continuation, which may run after this wait has given up.
    auto done = std::make_shared<QSemaphore>();
    const auto release = [done] { done->release(); };
    QFuture<void>(future).then(QtFuture::Launch::Sync, release).onFailed(release).onCanceled(release);
    return note(done->tryAcquire(1, remainingMs(deadline)), what);
}
