#include "common/EventLoopWait.h"

#include <gtest/gtest.h>

#include <QTimer>

using namespace std::chrono_literals;

namespace {

// The wait ends as what it waits for comes, also when that came before it began, and at its
// deadline when nothing comes; it never waits on past it.
TEST(EventLoopWaitTest, EndsAsTheAwaitedEventComesOrAtTheDeadline)
{
    enum class Comes { beforeTheWait, whileItRuns, never };
    const struct
    {
        const char *name;
        Comes comes;
        std::chrono::milliseconds deadline;
        bool ended;
    } rows[] = {
        { "it came before the wait began", Comes::beforeTheWait, 30s, true },
        { "it comes as an event while the wait runs", Comes::whileItRuns, 30s, true },
        { "nothing comes", Comes::never, 20ms, false },
        { "nothing comes and the deadline has passed", Comes::never, 0ms, false },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EventLoopWait wait;
        if (row.comes == Comes::beforeTheWait)
            wait.end();
        if (row.comes == Comes::whileItRuns)
            QTimer::singleShot(0, [&] { wait.end(); });
        const QDeadlineTimer deadline(row.deadline);
        EXPECT_EQ(wait.run(deadline), row.ended);
        EXPECT_EQ(wait.hasEnded(), row.ended);
        if (!row.ended) {
            EXPECT_LT(deadline.remainingTime(), 2) << "gave up before its deadline";
        }
    }
}

} // namespace
