#include "columns/ScrollOffsetThrottle.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace std::chrono_literals;

TEST(ScrollOffsetThrottleTest, ToldAtMostEverySixteenMillisecondsAndOnlyForANewOffset)
{
    ManualClock clock;
    ScrollOffsetThrottle throttle(clock);
    QSignalSpy told(&throttle, &ScrollOffsetThrottle::scrolled);

    struct Step
    {
        std::chrono::milliseconds after; // since the step before
        double offset;
        int toldSoFar;
    };
    const Step steps[] = {
        { 0ms, 10, 1 }, // the first offset is told at once
        { 5ms, 20, 1 }, // within the interval: held back
        { 5ms, 30, 1 }, { 6ms, 30, 2 }, // the interval is over: the last offset of the burst
        { 20ms, 30, 2 }, // the same offset again: nothing
        { 0ms, 40, 3 }, // a new one after a quiet interval: at once
        { 8ms, 40, 3 }, // the offset told already, within the interval
    };
    for (const Step &step : steps) {
        clock.advance(step.after);
        throttle.offsetChanged(step.offset);
        clock.advance(0ms);
        EXPECT_EQ(told.count(), step.toldSoFar) << "offset " << step.offset;
    }
    clock.advance(100ms);
    EXPECT_EQ(told.count(), 3) << "a held-back offset equal to the last told is not told";
}
