#pragma once

#include "common/Clock.h"

#include <QObject>

#include <functional>
#include <memory>

// A single-shot timer on a Clock, for what QTimer does on real time: it fires its action once,
// its interval after the last start, unless it is started again or stopped first. On the app's
// clock it is a QTimer underneath; on a test's clock it fires as the test moves time on. It
// goes quiet when it is destroyed. Main thread only.
class ClockTimer final
{
public:
    ClockTimer(Clock &clock, Clock::Duration interval, std::function<void()> timeout);
    ~ClockTimer();
    ClockTimer(const ClockTimer &) = delete;
    ClockTimer &operator=(const ClockTimer &) = delete;

    // Fires on this clock from the next start on; a pending firing is dropped.
    void setClock(Clock &clock);
    Clock &clock() const { return *m_clock; }
    Clock::Duration interval() const { return m_interval; }
    void setInterval(Clock::Duration interval) { m_interval = interval; }

    // (Re)starts the timer: it fires once, the interval from now.
    void start();
    void start(Clock::Duration interval);
    void stop();
    bool isActive() const { return m_pending != nullptr; }

private:
    Clock *m_clock;
    Clock::Duration m_interval;
    std::function<void()> m_timeout;
    // The context of the firing scheduled last; destroying it cancels that firing.
    std::unique_ptr<QObject> m_pending;
};
