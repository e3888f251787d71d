#pragma once

#include <QObject>

#include <chrono>
#include <functional>

// The time that timed behaviour runs on: the steady now, and actions run once after a delay
// on the calling (main) thread. The app runs on the system clock; tests move a clock of their
// own forward instead of waiting out debounces and delays.
class Clock
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::milliseconds;

    virtual ~Clock() = default;

    virtual TimePoint now() const = 0;
    // now() in whole milliseconds, for times kept as numbers.
    qint64 nowMs() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now().time_since_epoch()).count();
    }
    // Runs action once, delay after now, unless context is destroyed first.
    virtual void runAfter(Duration delay, QObject *context, std::function<void()> action) = 0;

    // steady_clock and Qt's timers.
    static Clock &system();
};
