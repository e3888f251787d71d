#pragma once

#include <QPointF>

// How an animation's progress runs over its time: a cubic Bézier from (0, 0) to (1, 1) through
// two control points, the curves animations are described with. Linear has both control
// points on the diagonal.
class TimingCurve final
{
public:
    constexpr TimingCurve(QPointF control1, QPointF control2)
        : m_control1(control1)
        , m_control2(control2)
    { }

    static constexpr TimingCurve linear() { return { { 0.0, 0.0 }, { 1.0, 1.0 } }; }
    // Slow at both ends: (0.42, 0) and (0.58, 1).
    static constexpr TimingCurve easeInOut() { return { { 0.42, 0.0 }, { 0.58, 1.0 } }; }
    // Fast at first, slowing to the end: (0, 0) and (0.58, 1).
    static constexpr TimingCurve easeOut() { return { { 0.0, 0.0 }, { 0.58, 1.0 } }; }

    // The progress (0 to 1) at a fraction of the time; fractions outside 0 to 1 are clamped.
    double valueAt(double timeFraction) const;

    QPointF control1() const { return m_control1; }
    QPointF control2() const { return m_control2; }

private:
    QPointF m_control1;
    QPointF m_control2;
};
