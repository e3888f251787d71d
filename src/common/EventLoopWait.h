#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>

// One wait of the calling thread's event loop (user input left out) for something that comes as
// an event: end() is called as it comes, and one timer ends the wait at the deadline. Nothing
// wakes the loop in between to look.
class EventLoopWait final
{
public:
    // True when end() was called, before run() or while it ran, and before the deadline.
    bool run(QDeadlineTimer deadline);
    // What was waited for has come.
    void end();

    bool hasEnded() const { return m_ended; }

private:
    QEventLoop m_loop;
    bool m_ended = false;
};
