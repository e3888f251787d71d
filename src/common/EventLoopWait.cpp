#include "common/EventLoopWait.h"

#include <QTimer>

#include <algorithm>
#include <climits>

bool EventLoopWait::run(QDeadlineTimer deadline)
{
    if (m_ended || deadline.hasExpired())
        return m_ended;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timeout, &QTimer::timeout, &m_loop, &QEventLoop::quit);
    if (!deadline.isForever())
        timeout.start(int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX)));
    m_loop.exec(QEventLoop::ExcludeUserInputEvents);
    return m_ended;
}

void EventLoopWait::end()
{
    m_ended = true;
    m_loop.quit();
}
