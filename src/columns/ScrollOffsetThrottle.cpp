#include "columns/ScrollOffsetThrottle.h"

ScrollOffsetThrottle::ScrollOffsetThrottle(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{ }

void ScrollOffsetThrottle::offsetChanged(double offset)
{
    m_latest = offset;
    if (m_pending)
        return;
    const Clock::TimePoint now = m_clock.now();
    if (!m_lastReport || now - *m_lastReport >= interval) {
        report();
        return;
    }
    m_pending = true;
    m_clock.runAfter(
        std::chrono::duration_cast<Clock::Duration>(interval - (now - *m_lastReport)), this, [this] {
            m_pending = false;
            report();
        });
}

void ScrollOffsetThrottle::report()
{
    if (m_reported == m_latest)
        return;
    m_reported = m_latest;
    m_lastReport = m_clock.now();
    Q_EMIT scrolled();
}
