#include "common/TimingCurve.h"

#include <algorithm>
#include <cmath>

namespace {

// One coordinate of the curve at parameter t, with the end points at 0 and 1.
double bezier(double p1, double p2, double t)
{
    const double u = 1.0 - t;
    return 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t;
}

double bezierSlope(double p1, double p2, double t)
{
    const double u = 1.0 - t;
    return 3.0 * u * u * p1 + 6.0 * u * t * (p2 - p1) + 3.0 * t * t * (1.0 - p2);
}

} // namespace

double TimingCurve::valueAt(double timeFraction) const
{
    const double x = std::clamp(timeFraction, 0.0, 1.0);
    if (x == 0.0 || x == 1.0)
        return x;
    const double x1 = m_control1.x();
    const double x2 = m_control2.x();
    // The parameter whose x is the time fraction: Newton's steps, then halving where the slope
    // is too flat for them. x(t) rises monotonically for control points within 0 and 1.
    double t = x;
    for (int step = 0; step < 12; ++step) {
        const double error = bezier(x1, x2, t) - x;
        if (std::abs(error) < 1e-12)
            return bezier(m_control1.y(), m_control2.y(), t);
        const double slope = bezierSlope(x1, x2, t);
        if (std::abs(slope) < 1e-6)
            break;
        t = std::clamp(t - error / slope, 0.0, 1.0);
    }
    double low = 0.0;
    double high = 1.0;
    t = x;
    for (int step = 0; step < 60; ++step) {
        const double value = bezier(x1, x2, t);
        if (std::abs(value - x) < 1e-9)
            break;
        (value < x ? low : high) = t;
        t = (low + high) / 2.0;
    }
    return bezier(m_control1.y(), m_control2.y(), t);
}
