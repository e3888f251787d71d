#pragma once

#include <QRectF>

// The rectangle a fraction of the way from one to another (0 the first, 1 the second), every
// edge moving in step.
inline QRectF interpolatedRect(const QRectF &from, const QRectF &to, double fraction)
{
    const auto at = [fraction](double a, double b) { return a + (b - a) * fraction; };
    return QRectF(at(from.x(), to.x()), at(from.y(), to.y()), at(from.width(), to.width()),
        at(from.height(), to.height()));
}
