#pragma once

#include "common/Clock.h"

#include <QObject>

#include <optional>

// Tells of a column's content scrolling at most once every 0.016 s, and only when the offset
// moved from the one told last. The last offset of a burst is always told, at the end of its
// interval, so the pointer's selection is checked against where the content came to rest.
// Main thread only.
class ScrollOffsetThrottle final : public QObject
{
    Q_OBJECT

public:
    static constexpr Clock::Duration interval { 16 };

    explicit ScrollOffsetThrottle(Clock &clock, QObject *parent = nullptr);

    void offsetChanged(double offset);

Q_SIGNALS:
    void scrolled();

private:
    void report();

    Clock &m_clock;
    std::optional<double> m_reported;
    double m_latest = 0.0;
    std::optional<Clock::TimePoint> m_lastReport;
    bool m_pending = false;
};
