#include "common/AnimatedValue.h"
#include "common/TimingCurve.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(TimingCurveTest, CurvesGiveTheirKnownProgressAtFractionsOfTheTime)
{
    struct Case
    {
        const char *name;
        TimingCurve curve;
        double fraction;
        double expected;
    };
    // Reference values found by bisecting the Bézier's x coordinate independently.
    const Case cases[] = {
        { "ease-in-out start", TimingCurve::easeInOut(), 0.0, 0.0 },
        { "ease-in-out 0.1", TimingCurve::easeInOut(), 0.1, 0.0197 },
        { "ease-in-out 0.25", TimingCurve::easeInOut(), 0.25, 0.1292 },
        { "ease-in-out middle", TimingCurve::easeInOut(), 0.5, 0.5 },
        { "ease-in-out 0.75", TimingCurve::easeInOut(), 0.75, 0.8708 },
        { "ease-in-out end", TimingCurve::easeInOut(), 1.0, 1.0 },
        { "ease-out 0.1", TimingCurve::easeOut(), 0.1, 0.1606 },
        { "ease-out middle", TimingCurve::easeOut(), 0.5, 0.6846 },
        { "ease-out 0.9", TimingCurve::easeOut(), 0.9, 0.9830 },
        { "linear", TimingCurve::linear(), 0.3, 0.3 },
        { "before the start", TimingCurve::easeInOut(), -0.5, 0.0 },
        { "after the end", TimingCurve::easeOut(), 1.7, 1.0 },
    };
    for (const Case &c : cases)
        EXPECT_NEAR(c.curve.valueAt(c.fraction), c.expected, 5e-4) << c.name;
}

TEST(TimingCurveTest, ProgressNeverFallsBackAsTimeGoesOn)
{
    for (const TimingCurve curve : { TimingCurve::easeInOut(), TimingCurve::easeOut() }) {
        double previous = 0.0;
        for (int step = 0; step <= 1000; ++step) {
            const double value = curve.valueAt(step / 1000.0);
            ASSERT_GE(value, previous - 1e-9) << step;
            previous = value;
        }
    }
}

TEST(AnimatedValueTest, MovesAlongItsCurveWithTheClockAndAnnouncesFramesUntilTheEnd)
{
    ManualClock clock;
    AnimatedValue value(clock, 1.0);
    QList<double> frames;
    QObject::connect(&value, &AnimatedValue::valueChanged, [&](double v) { frames << v; });
    int completions = 0;
    value.animateTo(3.0, 200ms, TimingCurve::easeInOut(), [&] { ++completions; });
    EXPECT_TRUE(value.isRunning());
    EXPECT_DOUBLE_EQ(value.value(), 1.0);

    clock.advance(50ms);
    EXPECT_NEAR(value.value(), 1.0 + 2.0 * 0.1292, 1e-3);
    clock.advance(50ms);
    EXPECT_NEAR(value.value(), 2.0, 1e-6);
    EXPECT_GE(frames.size(), 5) << "about sixty frames a second";
    EXPECT_EQ(completions, 0);

    clock.advance(100ms);
    EXPECT_FALSE(value.isRunning());
    EXPECT_DOUBLE_EQ(value.value(), 3.0);
    EXPECT_EQ(completions, 1);
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_DOUBLE_EQ(frames.last(), 3.0) << "the last frame shows the end value";
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
    clock.advance(1s);
    EXPECT_EQ(clock.pendingCount(), 0) << "no frames once it has arrived";
}

TEST(AnimatedValueTest, ANewTargetStartsFromWhereItIsAndDropsTheOldCompletion)
{
    ManualClock clock;
    AnimatedValue value(clock, 0.0);
    QStringList done;
    value.animateTo(1.0, 100ms, TimingCurve::linear(), [&] { done << QStringLiteral("first"); });
    clock.advance(40ms);
    value.animateTo(0.0, 100ms, TimingCurve::linear(), [&] { done << QStringLiteral("second"); });
    EXPECT_NEAR(value.value(), 0.4, 1e-9) << "no jump when the direction turns";
    clock.advance(50ms);
    EXPECT_NEAR(value.value(), 0.2, 1e-9);
    clock.advance(100ms);
    EXPECT_EQ(done, QStringList({ "second" }));

    value.animateTo(5.0, 0ms, TimingCurve::linear(), [&] { done << QStringLiteral("at once"); });
    EXPECT_DOUBLE_EQ(value.value(), 5.0);
    EXPECT_EQ(done.last(), QStringLiteral("at once"));

    value.animateTo(9.0, 100ms, TimingCurve::linear(), [&] { done << QStringLiteral("stopped"); });
    clock.advance(30ms);
    value.setValue(2.0);
    clock.advance(200ms);
    EXPECT_DOUBLE_EQ(value.value(), 2.0);
    EXPECT_FALSE(done.contains(QStringLiteral("stopped")));
}
