#pragma once

#include "common/Clock.h"
#include "common/TimingCurve.h"

#include <QObject>

#include <functional>

// How long an animation runs and along which curve.
struct AnimationTiming
{
    Clock::Duration duration;
    TimingCurve curve = TimingCurve::easeInOut();
};

// A number that moves to a new value over a time along a curve, read at the clock's now. While
// it moves it announces a frame about sixty times a second, so views redraw; what they draw
// is always value(). Main thread only.
class AnimatedValue final : public QObject
{
    Q_OBJECT

public:
    static constexpr Clock::Duration frameInterval { 16 };

    AnimatedValue(Clock &clock, double initial, QObject *parent = nullptr);

    double value() const;
    // Where it is going (its value when it is not moving).
    double target() const { return m_to; }
    bool isRunning() const;
    // Fraction of the current animation's time gone by (1 when none runs).
    double timeFraction() const;

    // Moves from the present value to target; completion runs once it is there. A duration of 0
    // (or less) sets it at once. A new call replaces the running animation, whose completion
    // then never runs.
    void animateTo(double target, Clock::Duration duration, TimingCurve curve = TimingCurve::easeInOut(),
        std::function<void()> completion = {});
    void animateTo(double target, AnimationTiming timing, std::function<void()> completion = {})
    {
        animateTo(target, timing.duration, timing.curve, std::move(completion));
    }
    // Stops any animation and jumps to value.
    void setValue(double value);

Q_SIGNALS:
    // The value moved: on every frame of an animation and on a jump.
    void valueChanged(double value);

private:
    void scheduleFrame();
    void frame(quint64 generation);

    Clock &m_clock;
    double m_from;
    double m_to;
    Clock::TimePoint m_start;
    Clock::Duration m_duration { 0 };
    TimingCurve m_curve = TimingCurve::linear();
    std::function<void()> m_completion;
    quint64 m_generation = 0;
    bool m_running = false;
};
