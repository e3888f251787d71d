#include "columns/PinnedItemDragState.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

using Release = PinnedItemDragState::Release;

// A Text column 200 wide, its pinned group open: two single characters, three pins, two unpinned.
const QList<GridSection> listBlocks { { "SingleChars", 0, 2, 6 }, { "Pinned", 2, 3, 1 },
    { "Unpinned", 5, 2, 1 } };
// The same items in a grid 200 wide: three tiles a row.
const QList<GridSection> gridBlocks { { "SingleChars", 0, 2, 6 }, { "Pinned", 2, 4, 3 },
    { "Unpinned", 6, 2, 3 } };

struct Drag
{
    const char *what;
    bool grid;
    int pressed;
    // Where the pointer goes with the button held: a cell's middle, or a point of its own.
    QList<std::variant<int, QPointF>> moves;
    std::variant<int, QPointF> releasedAt;
    Release release;
    QList<int> order; // the pins' rows in their new order (reordered only)
};

QPointF at(const ColumnLayout &layout, const std::variant<int, QPointF> &where)
{
    if (const int *row = std::get_if<int>(&where))
        return layout.cellRect(*row).center();
    return std::get<QPointF>(where);
}

} // namespace

TEST(PinnedItemDragStateTest, APinDroppedAmongThePinsTakesThePlaceItWasDroppedOn)
{
    const ColumnLayout list(listBlocks, false, 200, true, 10);
    const ColumnLayout grid(gridBlocks, true, 200, true, 10);
    // Beside the list's rows, in the pins' band: over no pin.
    const QPointF besideThePins(3, list.cellRect(3).center().y());
    const QPointF belowEverything(100, list.contentHeight() + 50);
    const QPointF nextColumn(230, list.cellRect(3).center().y());
    const Drag drags[] = {
        { "down onto the last pin", false, 2, { 3, 4 }, 4, Release::reordered, { 0, 1, 3, 4, 2 } },
        { "up onto the first pin", false, 4, { 3, 2 }, 2, Release::reordered, { 0, 1, 4, 2, 3 } },
        { "a single character onto the other", false, 0, { 1 }, 1, Release::reordered, { 1, 0, 2, 3, 4 } },
        { "dropped beside the pins where it was last put", false, 2, { 4, besideThePins }, besideThePins,
            Release::reordered, { 0, 1, 3, 4, 2 } },
        { "a pin over the single characters stays in its block", false, 2, { 0 }, 0, Release::unchanged, {} },
        { "dropped on an unpinned item", false, 2, { 4, 5 }, 5, Release::unchanged, {} },
        { "dropped below the column's items", false, 2, { 4 }, belowEverything, Release::unchanged, {} },
        { "dropped in the next column", false, 2, { 4 }, nextColumn, Release::unchanged, {} },
        { "dragged back to its own place", false, 2, { 4, 2 }, 2, Release::unchanged, {} },
        { "pressed and released in place", false, 3, {}, 3, Release::click, {} },
        { "a move under the drag threshold", false, 3, { list.cellRect(3).center() + QPointF(2, 1) },
            list.cellRect(3).center() + QPointF(2, 1), Release::click, {} },
        { "an unpinned item is not dragged", false, 5, { 2 }, 2, Release::notPressed, {} },
        { "a tile onto the next row's tile", true, 2, { 5 }, 5, Release::reordered, { 0, 1, 3, 4, 5, 2 } },
        { "a tile onto the tile before it", true, 4, { 3 }, 3, Release::reordered, { 0, 1, 2, 4, 3, 5 } },
    };
    for (const Drag &drag : drags) {
        SCOPED_TRACE(drag.what);
        const ColumnLayout &layout = drag.grid ? grid : list;
        PinnedItemDragState state;
        const bool onPin = state.press(layout, drag.grid ? gridBlocks : listBlocks, at(layout, drag.pressed));
        EXPECT_EQ(onPin, drag.release != Release::notPressed);
        for (const auto &move : drag.moves)
            state.move(at(layout, move));
        const PinnedItemDragState::Outcome outcome = state.release(at(layout, drag.releasedAt));
        EXPECT_EQ(outcome.release, drag.release);
        EXPECT_EQ(outcome.pinnedRows, drag.order);
        EXPECT_FALSE(state.isPressed()) << "a release ends the drag";
    }
}

TEST(PinnedItemDragStateTest, TheColumnDrawsTheOrderADropWouldStore)
{
    const ColumnLayout layout(listBlocks, false, 200, true, 10);
    PinnedItemDragState state;
    ASSERT_TRUE(state.press(layout, listBlocks, layout.cellRect(2).center()));
    EXPECT_FALSE(state.move(layout.cellRect(2).center() + QPointF(0, 2))) << "not yet a drag";
    EXPECT_EQ(state.draggedShownRow(), std::nullopt);
    EXPECT_TRUE(state.move(layout.cellRect(4).center()));
    EXPECT_EQ(state.draggedShownRow(), 4);
    QList<int> shown;
    for (int row = 0; row < 7; ++row)
        shown.append(state.sourceRow(row));
    EXPECT_EQ(shown, QList<int>({ 0, 1, 3, 4, 2, 5, 6 }));

    // Out of the pins the order drawn is the stored one again, as a drop there would leave it.
    state.move(layout.cellRect(6).center());
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(state.sourceRow(row), row);
}

TEST(PinnedItemDragStateTest, EscapeOrNewRowsAbandonTheDragAndItsReleaseIsNoClick)
{
    const ColumnLayout layout(listBlocks, false, 200, true, 10);
    PinnedItemDragState state;
    ASSERT_TRUE(state.press(layout, listBlocks, layout.cellRect(2).center()));
    state.move(layout.cellRect(4).center());
    state.cancel();
    EXPECT_FALSE(state.isDragging());
    EXPECT_EQ(state.sourceRow(4), 4) << "the order drawn is the stored one again";
    EXPECT_TRUE(state.move(layout.cellRect(3).center())) << "the rest of the drag is still taken";
    EXPECT_EQ(state.sourceRow(3), 3) << "and starts no new drag";
    const PinnedItemDragState::Outcome outcome = state.release(layout.cellRect(3).center());
    EXPECT_EQ(outcome.release, Release::unchanged);
    EXPECT_TRUE(outcome.pinnedRows.isEmpty());

    // A press not dragged yet is forgotten: its release is the column's ordinary click.
    ASSERT_TRUE(state.press(layout, listBlocks, layout.cellRect(3).center()));
    state.cancel();
    EXPECT_EQ(state.release(layout.cellRect(3).center()).release, Release::notPressed);
}

TEST(PinnedItemDragStateTest, HistoryAndACollapsedGroupHaveNoPinsToDrag)
{
    const QList<GridSection> unpinnedOnly { { "Unpinned", 0, 4, 1 } };
    const ColumnLayout layout(unpinnedOnly, false, 200, false, 10);
    EXPECT_FALSE(layout.pinnedSectionRect());
    PinnedItemDragState state;
    EXPECT_FALSE(state.press(layout, unpinnedOnly, layout.cellRect(0).center()));
    EXPECT_FALSE(state.move(layout.cellRect(2).center()));
    EXPECT_EQ(state.release(layout.cellRect(2).center()).release, Release::notPressed);
}
