#include "panel/HoverMarkerStore.h"
#include "panel/HoverTracker.h"
#include "panel/PanelSelectionState.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace std::chrono_literals;
using Identity = HoverMarkerStore::ItemIdentity;

namespace {

// Two columns side by side, 200 wide, each a scroll viewport from y = 100 to y = 400 of the
// window. Rows are 40 high with 4 of gap; the second column's content is scrolled by 30.
class HoverTrackingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tracker.setPointerLocator([this](QObject *) { return pointer; });
        registerColumn(left, 0, 0, 0.0);
        registerColumn(right, 1, 200, 30.0);
    }

    void registerColumn(QObject &view, int column, double x, double scrolled)
    {
        QList<HoverMarkerStore::Cell> cells;
        for (int row = 0; row < 20; ++row)
            cells.append({ row, QRectF(4, 10 + row * 44, 192, 40) });
        store.registerCells(&view, column, cells);
        store.setPlacement(&view, QPointF(x, 100 - scrolled), QRectF(x, 100, 200, 300));
        store.setAttached(&view, true);
    }

    // The middle of a row of the left column, in window coordinates.
    static QPointF leftRow(int row) { return QPointF(100, 100 + 10 + row * 44 + 20); }

    ManualClock clock;
    PanelSelectionState selection;
    HoverMarkerStore store;
    HoverTracker tracker { selection, store, clock };
    QObject left;
    QObject right;
    std::optional<QPointF> pointer;
};

} // namespace

TEST_F(HoverTrackingTest, LooksPointsUpInTheVisiblePartOfEachCell)
{
    struct Case
    {
        const char *name;
        QPointF point;
        std::optional<Identity> expected;
    };
    const Case cases[] = {
        { "first row", leftRow(0), Identity { 0, 0 } },
        { "third row", leftRow(2), Identity { 0, 2 } },
        { "a row's top-left corner belongs to it", QPointF(4, 110), Identity { 0, 0 } },
        { "its right edge does not", QPointF(196, 130), std::nullopt },
        { "the gap between two rows", QPointF(100, 152), std::nullopt },
        { "the inset beside the rows", QPointF(2, 130), std::nullopt },
        { "the second column", QPointF(300, 130), Identity { 1, 1 } },
        // Scrolled by 30, the second column's first row shows only from y 100 to 120.
        { "a partly scrolled-off row, where it shows", QPointF(300, 105), Identity { 1, 0 } },
        // Above the viewport (a header, the search strip) nothing is selected, though the
        // scrolled-off part of the row's bounds lies there.
        { "the scrolled-off part of that row", QPointF(300, 90), std::nullopt },
        { "below the viewport, where later rows lie out of sight", QPointF(100, 420), std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(store.itemIdentity(c.point), c.expected) << c.name;
}

TEST_F(HoverTrackingTest, EmptyCellsDetachedViewsAndViewsThatAreGone)
{
    QObject flat;
    store.registerCells(&flat, 5, { { 0, QRectF(0, 0, 0, 50) }, { 1, QRectF(0, 60, 50, 0) } });
    store.setPlacement(&flat, QPointF(500, 100), QRectF(500, 100, 100, 300));
    store.setAttached(&flat, true);
    EXPECT_EQ(store.itemIdentity(QPointF(500, 120)), std::nullopt) << "zero width";
    EXPECT_EQ(store.itemIdentity(QPointF(520, 160)), std::nullopt) << "zero height";

    store.setAttached(&left, false);
    EXPECT_EQ(store.itemIdentity(leftRow(0)), std::nullopt) << "a view out of its window never matches";
    EXPECT_EQ(store.viewCount(), 3) << "but it stays";
    EXPECT_EQ(store.firstAttachedView(), &right);
    store.setAttached(&left, true);
    EXPECT_EQ(store.firstAttachedView(), &left);

    {
        QObject gone;
        store.registerCells(&gone, 7, { { 0, QRectF(0, 0, 50, 50) } });
        store.setPlacement(&gone, QPointF(700, 0), QRectF(700, 0, 50, 50));
        store.setAttached(&gone, true);
        EXPECT_EQ(store.viewCount(), 4);
    }
    EXPECT_EQ(store.itemIdentity(QPointF(710, 10)), std::nullopt);
    EXPECT_EQ(store.viewCount(), 3) << "the lookup swept the view that is gone";
}

TEST_F(HoverTrackingTest, TheSelectionFollowsThePointerFromItemToItem)
{
    QSignalSpy selections(&selection, &PanelSelectionState::selectedItemIndexChanged);
    for (double dy : { -15.0, 0.0, 10.0, 15.0 })
        tracker.handleMouseMoved(leftRow(1) + QPointF(dy, dy));
    EXPECT_EQ(selection.selectedItemIndex(), 1);
    EXPECT_EQ(selections.count(), 1) << "moves within one row select it once";

    tracker.handleMouseMoved(QPointF(300, 130));
    EXPECT_EQ(selection.selectedColumnIndex(), 1);
    EXPECT_EQ(selection.selectedItemIndex(), 1);

    // Onto the gap between rows: no item, the column stays.
    tracker.handleMouseMoved(QPointF(300, 166));
    EXPECT_EQ(selection.selectedItemIndex(), std::nullopt);
    EXPECT_EQ(selection.selectedColumnIndex(), 1);
    EXPECT_EQ(tracker.lastMatch(), std::nullopt);

    // Cleared elsewhere while resting on a row: the next move over it selects it again.
    tracker.handleMouseMoved(leftRow(3));
    selection.setSelectedItemIndex(std::nullopt);
    tracker.handleMouseMoved(leftRow(3) + QPointF(1, 0));
    EXPECT_EQ(selection.selectedItemIndex(), 3);
}

TEST_F(HoverTrackingTest, ASelectionMadeOtherwiseSurvivesMovesOverEmptySpace)
{
    selection.select(1, 4);
    tracker.handleMouseMoved(QPointF(100, 50));
    tracker.handleMouseMoved(QPointF(100, 152));
    EXPECT_EQ(selection.selectedItemIndex(), 4);
    EXPECT_EQ(selection.selectedColumnIndex(), 1);
}

TEST_F(HoverTrackingTest, TheFirstMoveAfterTheKeysOnlyEndsKeyboardMode)
{
    selection.select(0, 5);
    selection.setIsKeyboardNavigating(true);
    tracker.handleMouseMoved(leftRow(2));
    EXPECT_FALSE(selection.isKeyboardNavigating());
    EXPECT_EQ(selection.selectedItemIndex(), std::nullopt);
    tracker.handleMouseMoved(leftRow(2));
    EXPECT_EQ(selection.selectedItemIndex(), 2);

    // Leaving the panel: in keyboard mode nothing changes, otherwise the item goes.
    selection.select(0, 6);
    selection.setIsKeyboardNavigating(true);
    tracker.handleMouseExited();
    EXPECT_EQ(selection.selectedItemIndex(), 6);
    selection.setIsKeyboardNavigating(false);
    tracker.handleMouseExited();
    EXPECT_EQ(selection.selectedItemIndex(), std::nullopt);
    EXPECT_EQ(selection.selectedColumnIndex(), 0);
}

TEST_F(HoverTrackingTest, MovesAreIgnoredWhileSuppressedAndJustAfterAScrollWipe)
{
    tracker.handleMouseMoved(leftRow(0));
    selection.setSuppressHoverSelection(true);
    tracker.handleMouseMoved(leftRow(2));
    EXPECT_EQ(selection.selectedItemIndex(), 0);
    EXPECT_EQ(tracker.lastMatch(), (Identity { 0, 0 }));
    selection.setSuppressHoverSelection(false);

    struct Case
    {
        std::chrono::milliseconds after;
        bool handled;
    };
    for (const Case &c : { Case { 149ms, false }, Case { 150ms, true } }) {
        selection.select(0, 0);
        pointer = leftRow(0);
        tracker.scrollWiped();
        clock.advance(c.after);
        tracker.handleMouseMoved(leftRow(4));
        EXPECT_EQ(selection.selectedItemIndex(), c.handled ? 4 : 0) << c.after.count() << " ms";
    }
}

TEST_F(HoverTrackingTest, AfterAScrollWipeASelectionNoLongerUnderThePointerIsCleared)
{
    struct Case
    {
        const char *name;
        std::optional<QPointF> pointer;
        bool keyboard;
        std::optional<int> expected;
    };
    const Case cases[] = {
        { "still over the selected row", leftRow(2), false, 2 },
        { "another row under the pointer", leftRow(3), false, std::nullopt },
        { "nothing under the pointer", QPointF(100, 152), false, std::nullopt },
        { "the keys navigate", leftRow(3), true, 2 },
    };
    for (const Case &c : cases) {
        selection.select(0, 2);
        selection.setIsKeyboardNavigating(c.keyboard);
        pointer = c.pointer;
        tracker.scrollWiped();
        EXPECT_EQ(selection.selectedItemIndex(), 2) << c.name << ": not before the next turn";
        clock.advance(0ms);
        EXPECT_EQ(selection.selectedItemIndex(), c.expected) << c.name;
    }
}
