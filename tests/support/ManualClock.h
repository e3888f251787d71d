#pragma once

#include "common/Clock.h"

#include <QList>
#include <QPointer>

#include <algorithm>
#include <tuple>

// Time that passes only when a test says so: advance() runs every action that falls due, in
// the order of its time (and of scheduling, for equal times), with now() at its due time.
class ManualClock final : public Clock
{
public:
    TimePoint now() const override { return m_now; }
    void runAfter(Duration delay, QObject *context, std::function<void()> action) override
    {
        m_pending.append({ m_now + std::max(delay, Duration(0)), m_sequence++, context, std::move(action) });
    }

    void advance(Duration by)
    {
        const TimePoint target = m_now + by;
        for (;;) {
            const auto next = std::min_element(
                m_pending.begin(), m_pending.end(), [](const Pending &a, const Pending &b) {
                    return std::tie(a.due, a.sequence) < std::tie(b.due, b.sequence);
                });
            if (next == m_pending.end() || next->due > target)
                break;
            const Pending due = *next;
            m_pending.erase(next);
            m_now = due.due;
            if (due.context)
                due.action();
        }
        m_now = target;
    }

    // Actions still waiting for their time (those whose context is gone never run).
    qsizetype pendingCount() const
    {
        return std::count_if(m_pending.begin(), m_pending.end(),
            [](const Pending &pending) { return !pending.context.isNull(); });
    }

private:
    struct Pending
    {
        TimePoint due;
        quint64 sequence;
        QPointer<QObject> context;
        std::function<void()> action;
    };

    TimePoint m_now;
    quint64 m_sequence = 0;
    QList<Pending> m_pending;
};
