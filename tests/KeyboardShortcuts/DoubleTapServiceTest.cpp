#include "KeyboardShortcuts/DoubleTapService.h"
#include "KeyboardShortcuts/Shortcut.h"
#include "platform/GlobalInputMonitor.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace KeyboardShortcuts;

namespace {

constexpr quint64 option = ModifierFlag::option;
constexpr quint64 shift = ModifierFlag::shift;
constexpr quint64 capsLock = ModifierFlag::capsLock;
constexpr quint64 function = ModifierFlag::function;
// Not a flag: a key that is no modifier goes down at this step.
constexpr quint64 otherKey = ~quint64(0);

// One flags change at a time on the service's clock.
struct Step
{
    double at;
    quint64 flags;
};

class DoubleTapServiceTest : public ::testing::Test
{
protected:
    DoubleTapServiceTest()
        : service(monitor, [this] { ++fired; })
    {
        service.setTargetModifier(AppSettings::DoubleTapModifier::option);
        service.start();
    }

    // Plays the steps (the monitor as the desktop reports them) and lets queued handlers run.
    int play(const QList<Step> &steps)
    {
        const int before = fired;
        for (const Step &step : steps) {
            if (step.flags == otherKey)
                monitor.pressOtherKey(1000 + step.at);
            else
                monitor.changeModifiers(step.flags, 1000 + step.at);
        }
        QCoreApplication::sendPostedEvents();
        return fired - before;
    }

    FakeGlobalInputMonitor monitor;
    int fired = 0;
    DoubleTapService service;
};

TEST_F(DoubleTapServiceTest, TwoPressesOfTheModifierAloneWithinTheThresholdFire)
{
    struct Case
    {
        const char *name;
        QList<Step> steps;
        int fires;
    };
    const QList<Case> cases {
        { "0.3 s apart", { { 0, option }, { 0.1, 0 }, { 0.3, option }, { 0.35, 0 } }, 1 },
        { "0.5 s apart", { { 0, option }, { 0.1, 0 }, { 0.5, option }, { 0.6, 0 } }, 0 },
        { "exactly 0.4 s apart", { { 0, option }, { 0.1, 0 }, { 0.4, option }, { 0.5, 0 } }, 0 },
        { "third press after a double tap, then a fourth",
            { { 0, option }, { 0.05, 0 }, { 0.1, option }, { 0.15, 0 }, { 0.2, option }, { 0.25, 0 },
                { 0.3, option }, { 0.35, 0 } },
            2 },
        { "Shift held throughout",
            { { 0, shift }, { 0.05, shift | option }, { 0.1, shift }, { 0.2, shift | option }, { 0.3, 0 } },
            0 },
        { "Shift alone in between",
            { { 0, option }, { 0.05, 0 }, { 0.1, shift }, { 0.15, 0 }, { 0.2, option }, { 0.25, 0 } }, 0 },
        { "Caps Lock and Fn while held count for nothing",
            { { 0, option }, { 0.05, option | capsLock }, { 0.06, option | capsLock | function }, { 0.1, 0 },
                { 0.2, option } },
            1 },
        { "held two seconds, pressed again 0.3 s after the release",
            { { 0, option }, { 2.0, 0 }, { 2.3, option } }, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        service.resetTapState();
        EXPECT_EQ(play(c.steps), c.fires);
    }
}

TEST_F(DoubleTapServiceTest, AKeyThatIsNoModifierBetweenTheTapsStartsTheSeriesOver)
{
    struct Case
    {
        const char *name;
        QList<Step> steps;
        int fires;
    };
    const QList<Case> cases {
        { "Alt+Tab pressed twice",
            { { 0, option }, { 0.05, otherKey }, { 0.1, 0 }, { 0.2, option }, { 0.25, otherKey },
                { 0.3, 0 } },
            0 },
        { "Alt+Tab twice and a clean tap right after",
            { { 0, option }, { 0.05, otherKey }, { 0.1, 0 }, { 0.15, option }, { 0.2, otherKey }, { 0.25, 0 },
                { 0.3, option } },
            0 },
        { "a letter typed between two taps",
            { { 0, option }, { 0.05, 0 }, { 0.1, otherKey }, { 0.2, option } }, 0 },
        { "Alt held through Tab, then two clean taps",
            { { 0, option }, { 0.05, otherKey }, { 0.1, 0 }, { 0.3, option }, { 0.35, 0 }, { 0.5, option } },
            1 },
        { "a key before the first tap changes nothing",
            { { 0, otherKey }, { 0.1, option }, { 0.15, 0 }, { 0.3, option } }, 1 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        service.resetTapState();
        EXPECT_EQ(play(c.steps), c.fires);
    }
}

TEST_F(DoubleTapServiceTest, WithoutTheDesktopsKeysItDoesNotStartAndSaysWhy)
{
    FakeGlobalInputMonitor blind;
    blind.unavailableReason = QStringLiteral("the X server has no XInput extension");
    int taps = 0;
    DoubleTapService unavailable(blind, [&] { ++taps; });
    QString reason;
    EXPECT_FALSE(unavailable.start(&reason));
    EXPECT_EQ(reason, blind.unavailableReason);
    EXPECT_FALSE(unavailable.isRunning());
    EXPECT_FALSE(blind.watchesModifiers);
    // Once the keys can be seen, a later start works.
    blind.unavailableReason.clear();
    EXPECT_TRUE(unavailable.start(&reason));
    EXPECT_TRUE(unavailable.isRunning());
}

TEST_F(DoubleTapServiceTest, StopClearsTheSeriesAndTheFirstPressAfterStartCountsOne)
{
    play({ { 0, option }, { 0.05, 0 } });
    EXPECT_EQ(service.tapCount(), 1);
    service.stop();
    EXPECT_EQ(service.tapCount(), 0);
    EXPECT_EQ(service.lastModifierDownTime(), 0);
    EXPECT_FALSE(monitor.watchesModifiers);
    EXPECT_EQ(play({ { 0.1, option } }), 0) << "a stopped service hears nothing";
    service.start();
    EXPECT_EQ(play({ { 0.2, 0 }, { 0.25, option } }), 0);
    EXPECT_EQ(service.tapCount(), 1);
}

TEST_F(DoubleTapServiceTest, TheTargetComesFromTheSettings)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path() + QStringLiteral("/defaults.json"));
    AppSettings settings(defaults);
    settings.setDoubleTapModifier(AppSettings::DoubleTapModifier::shift);
    play({ { 0, option } });
    service.updateTargetModifier(settings);
    EXPECT_EQ(service.targetModifier(), AppSettings::DoubleTapModifier::shift);
    EXPECT_EQ(service.tapCount(), 0);
    EXPECT_FALSE(service.isModifierDown());
    EXPECT_EQ(play({ { 1, 0 }, { 1.1, shift }, { 1.2, 0 }, { 1.3, shift } }), 1);
}

} // namespace
