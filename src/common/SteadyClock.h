#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// Milliseconds on a monotonic scale that starts with the first call: for intervals and
// deadlines that must not jump with the wall clock. Objects that wait take it as their
// default clock, and tests give them one they move by hand.
inline qint64 steadyMilliseconds()
{
    static const QElapsedTimer start = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return start.elapsed();
}
