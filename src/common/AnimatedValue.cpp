#include "common/AnimatedValue.h"

#include <algorithm>

AnimatedValue::AnimatedValue(Clock &clock, double initial, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_from(initial)
    , m_to(initial)
{ }

double AnimatedValue::timeFraction() const
{
    if (!m_running || m_duration.count() <= 0)
        return 1.0;
    const auto elapsed = std::chrono::duration<double, std::milli>(m_clock.now() - m_start).count();
    return std::clamp(elapsed / double(m_duration.count()), 0.0, 1.0);
}

double AnimatedValue::value() const
{
    if (!m_running)
        return m_to;
    return m_from + (m_to - m_from) * m_curve.valueAt(timeFraction());
}

bool AnimatedValue::isRunning() const
{
    return m_running && timeFraction() < 1.0;
}

void AnimatedValue::animateTo(
    double target, Clock::Duration duration, TimingCurve curve, std::function<void()> completion)
{
    const double from = value();
    ++m_generation;
    m_completion = {};
    if (duration.count() <= 0) {
        m_running = false;
        m_from = m_to = target;
        Q_EMIT valueChanged(target);
        if (completion)
            completion();
        return;
    }
    m_from = from;
    m_to = target;
    m_start = m_clock.now();
    m_duration = duration;
    m_curve = curve;
    m_completion = std::move(completion);
    m_running = true;
    scheduleFrame();
}

void AnimatedValue::setValue(double value)
{
    ++m_generation;
    m_completion = {};
    const bool changed = m_running || m_to != value;
    m_running = false;
    m_from = m_to = value;
    if (changed)
        Q_EMIT valueChanged(value);
}

void AnimatedValue::scheduleFrame()
{
    const auto elapsed = std::chrono::duration_cast<Clock::Duration>(m_clock.now() - m_start);
    // The last frame falls exactly on the end, so the final value is announced.
    const Clock::Duration delay = std::clamp(m_duration - elapsed, Clock::Duration(0), frameInterval);
    const quint64 generation = m_generation;
    m_clock.runAfter(delay, this, [this, generation] { frame(generation); });
}

void AnimatedValue::frame(quint64 generation)
{
    if (generation != m_generation || !m_running)
        return;
    if (timeFraction() < 1.0) {
        Q_EMIT valueChanged(value());
        scheduleFrame();
        return;
    }
    m_running = false;
    m_from = m_to;
    std::function<void()> completion = std::exchange(m_completion, {});
    Q_EMIT valueChanged(m_to);
    if (completion)
        completion();
}
