#pragma once

#include <QDeadlineTimer>

// A part of the app that the quit ends in two steps, so that every part stops taking work at
// once and the waits for their ends come after, each within the time the quit gives it.
class Stoppable
{
public:
    // Takes no more work; what was handed over before ends on its own (or is dropped, as the part
    // says). Returns at once.
    virtual void stop() = 0;
    // After stop(): waits until what the part had taken has ended, or the deadline has passed.
    // False when it had not ended by then: it is left to end by itself.
    virtual bool waitUntilEnded(QDeadlineTimer deadline) = 0;

protected:
    Stoppable() = default;
    ~Stoppable() = default;
    Stoppable(const Stoppable &) = default;
    Stoppable &operator=(const Stoppable &) = default;
};
