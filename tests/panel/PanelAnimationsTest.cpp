// The panel's animation driver: which timing the rows of a layout pass get after a change, in
// every column of the pass, and when a change is spent.

#include "panel/PanelAnimations.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using Steps = std::function<void(PanelAnimations &, ManualClock &)>;

void perform(PanelAnimations &animations, PanelChange change)
{
    animations.perform(change, [] {});
}

// A layout pass in which this many columns find their rows changed; the timing each got.
QList<std::optional<Clock::Duration>> layoutPass(PanelAnimations &animations, int columns)
{
    QList<std::optional<Clock::Duration>> timings;
    for (int column = 0; column < columns; ++column) {
        const std::optional<AnimationTiming> timing = animations.takeRowTiming();
        timings.append(timing ? std::optional(timing->duration) : std::nullopt);
    }
    animations.layoutPassEnded();
    return timings;
}

// What happens on a shown panel before a layout pass over two changed columns, and the timing
// that each of the two columns gets (none: their rows jump).
struct RowTimingCase
{
    const char *name;
    Steps steps;
    std::optional<Clock::Duration> expected;
};

// A change of a kind, then what follows it.
Steps after(PanelChange change, const std::function<void(PanelAnimations &, ManualClock &)> &then = {})
{
    return [change, then](PanelAnimations &animations, ManualClock &clock) {
        perform(animations, change);
        if (then)
            then(animations, clock);
    };
}

QList<RowTimingCase> rowTimingCases()
{
    const auto pinAnd = [](const Steps &then) { return after(PanelChange::pinToggle, then); };
    return {
        { "a pin", after(PanelChange::pinToggle), 250ms },
        { "a row's Delete", after(PanelChange::pendingDeletion), 200ms },
        { "every unpinned item cleared", after(PanelChange::storeDeletion), 350ms },
        { "a tab chosen moves no rows", after(PanelChange::tabSelection), std::nullopt },
        { "a pin after a pass that moved no rows",
            pinAnd([](PanelAnimations &a, ManualClock &) { a.layoutPassEnded(); }), 250ms },
        { "a pin laid out in a pass already",
            pinAnd([](PanelAnimations &a, ManualClock &) { layoutPass(a, 1); }), std::nullopt },
        { "a pin laid out at the last moment of its time",
            pinAnd([](PanelAnimations &, ManualClock &clock) { clock.advance(250ms); }), 250ms },
        { "a pin laid out just after its time",
            pinAnd([](PanelAnimations &, ManualClock &clock) { clock.advance(251ms); }), std::nullopt },
        { "a pin laid out well before twice its time",
            pinAnd([](PanelAnimations &, ManualClock &clock) { clock.advance(400ms); }), std::nullopt },
        { "a pin, then the panel hid and showed again", pinAnd([](PanelAnimations &a, ManualClock &) {
             a.setPanelVisible(false);
             a.setPanelVisible(true);
         }),
            std::nullopt },
        { "a pin while the panel is hidden",
            [](PanelAnimations &a, ManualClock &) {
                a.setPanelVisible(false);
                perform(a, PanelChange::pinToggle);
                a.setPanelVisible(true);
            },
            std::nullopt },
        { "a pin, then the deletion it leads to before any pass",
            pinAnd([](PanelAnimations &a, ManualClock &) { perform(a, PanelChange::pendingDeletion); }),
            250ms },
    };
}

} // namespace

TEST(PanelAnimationsTest, TheColumnsOfTheNextLayoutPassMoveWithTheChangeWithinItsTime)
{
    for (const RowTimingCase &c : rowTimingCases()) {
        SCOPED_TRACE(c.name);
        ManualClock clock;
        PanelAnimations animations(clock);
        animations.setPanelVisible(true);
        c.steps(animations, clock);
        const QList<std::optional<Clock::Duration>> timings = layoutPass(animations, 2);
        EXPECT_EQ(timings, QList<std::optional<Clock::Duration>>({ c.expected, c.expected }));
        // Once a pass has moved rows with it, the change is spent.
        EXPECT_EQ(layoutPass(animations, 1), QList<std::optional<Clock::Duration>>({ std::nullopt }));
    }
}
