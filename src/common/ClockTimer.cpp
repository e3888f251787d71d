#include "common/ClockTimer.h"

ClockTimer::ClockTimer(Clock &clock, Clock::Duration interval, std::function<void()> timeout)
    : m_clock(&clock)
    , m_interval(interval)
    , m_timeout(std::move(timeout))
{ }

ClockTimer::~ClockTimer() = default;

void ClockTimer::setClock(Clock &clock)
{
    stop();
    m_clock = &clock;
}

void ClockTimer::start()
{
    start(m_interval);
}

void ClockTimer::start(Clock::Duration interval)
{
    m_interval = interval;
    m_pending = std::make_unique<QObject>();
    QObject *scheduled = m_pending.get();
    m_clock->runAfter(interval, scheduled, [this, scheduled] {
        if (m_pending.get() != scheduled)
            return;
        // Gone before the action runs, so that the action may start the timer again.
        m_pending.reset();
        m_timeout();
    });
}

void ClockTimer::stop()
{
    m_pending.reset();
}
