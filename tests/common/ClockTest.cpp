#include "common/Clock.h"
#include "common/ClockTimer.h"

#include "support/ManualClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QObject>

using namespace std::chrono_literals;

TEST(ClockTest, TheSystemClockRunsAnActionLaterOnlyWhileItsContextLives)
{
    Clock &clock = Clock::system();
    const Clock::TimePoint before = clock.now();
    QObject context;
    auto gone = std::make_unique<QObject>();
    QStringList ran;
    clock.runAfter(20ms, gone.get(), [&] { ran << QStringLiteral("gone"); });
    clock.runAfter(10ms, &context, [&] { ran << QStringLiteral("first"); });
    clock.runAfter(30ms, &context, [&] { ran << QStringLiteral("last"); });
    gone.reset();
    EXPECT_TRUE(ran.isEmpty()) << "nothing runs before the event loop turns";
    ASSERT_TRUE(waitUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran, QStringList({ "first", "last" }));
    EXPECT_GE(clock.now(), before);
}

TEST(ClockTest, AManualClockRunsWhatFallsDueInTimeOrderAsItAdvances)
{
    ManualClock clock;
    const Clock::TimePoint start = clock.now();
    QObject context;
    auto gone = std::make_unique<QObject>();
    QStringList ran;
    const auto record = [&](const char *name) {
        return [&, name] {
            ran << QString::fromLatin1(name) + QLatin1Char('@')
                    + QString::number((clock.now() - start) / 1ms);
        };
    };
    clock.runAfter(30ms, &context, record("c"));
    clock.runAfter(10ms, &context, [&] {
        ran << QStringLiteral("a@10");
        // Scheduled while advancing, due within the same advance.
        clock.runAfter(5ms, &context, record("nested"));
    });
    clock.runAfter(10ms, &context, record("b")); // same time: in the order scheduled
    clock.runAfter(20ms, gone.get(), record("gone"));
    clock.runAfter(100ms, &context, record("late"));
    gone.reset();

    clock.advance(29ms);
    EXPECT_EQ(ran, QStringList({ "a@10", "b@10", "nested@15" }));
    EXPECT_EQ(clock.now() - start, 29ms);
    clock.advance(1ms);
    EXPECT_EQ(ran.last(), QStringLiteral("c@30"));
    EXPECT_EQ(clock.pendingCount(), 1);
    clock.advance(70ms);
    EXPECT_EQ(ran.last(), QStringLiteral("late@100"));
    EXPECT_EQ(clock.pendingCount(), 0);
}

TEST(ClockTest, AClockTimerFiresOnceItsIntervalAfterTheLastStartUnlessStopped)
{
    ManualClock clock;
    int fired = 0;
    auto timer = std::make_unique<ClockTimer>(clock, 100ms, [&] { ++fired; });
    const struct
    {
        const char *name;
        std::function<void()> step;
        int fired; // in all, after the step
        bool active;
    } steps[] = {
        { "not started", [&] { clock.advance(500ms); }, 0, false },
        { "started", [&] { timer->start(); }, 0, true },
        { "just short of its interval", [&] { clock.advance(99ms); }, 0, true },
        { "started again", [&] { timer->start(); }, 0, true },
        { "where the first start would have fired", [&] { clock.advance(1ms); }, 0, true },
        { "its interval after the last start", [&] { clock.advance(99ms); }, 1, false },
        { "once only", [&] { clock.advance(1s); }, 1, false },
        { "with an interval of its own", [&] { timer->start(10ms); }, 1, true },
        { "stopped", [&] { timer->stop(); }, 1, false },
        { "never fires once stopped", [&] { clock.advance(1s); }, 1, false },
        { "started and destroyed",
            [&] {
                timer->start();
                timer.reset();
                clock.advance(1s);
            },
            1, false },
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.name);
        s.step();
        EXPECT_EQ(fired, s.fired);
        EXPECT_EQ(timer && timer->isActive(), s.active);
    }
    EXPECT_EQ(clock.pendingCount(), 0);
}

TEST(ClockTest, AClockTimerMayBeStartedAgainWhenItFiresAndMovedToAnotherClock)
{
    ManualClock first;
    ManualClock second;
    QList<Clock::TimePoint> ticks;
    ClockTimer *self = nullptr;
    ClockTimer timer(first, 100ms, [&] {
        ticks.append(self->clock().now());
        self->start();
    });
    self = &timer;
    timer.start();
    first.advance(350ms);
    EXPECT_EQ(
        ticks, (QList<Clock::TimePoint> { first.now() - 250ms, first.now() - 150ms, first.now() - 50ms }));

    timer.setClock(second);
    EXPECT_FALSE(timer.isActive()) << "the firing on the old clock is dropped";
    first.advance(1s);
    EXPECT_EQ(ticks.size(), 3);
    timer.start();
    second.advance(100ms);
    EXPECT_EQ(ticks.size(), 4);
    EXPECT_EQ(ticks.last(), second.now());
}
