#include "common/Clock.h"

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
