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

// Items named after the rows they start in.
QList<ClipboardItemPtr> numberedItems(int count)
{
    QList<ClipboardItemPtr> items;
    for (int row = 0; row < count; ++row)
        items.append(ClipboardItem::create(ClipboardItemType::text, { .text = QString::number(row) }));
    return items;
}

PinnedItemDragState::Rows rowsOf(const ColumnLayout &layout, const QList<GridSection> &sections)
{
    const GridSection &last = sections.last();
    return { layout, sections, numberedItems(last.startIndex + last.count) };
}

// The rows the items started in.
QList<int> startRows(const QList<ClipboardItemPtr> &items)
{
    QList<int> rows;
    for (const ClipboardItemPtr &item : items)
        rows.append(item ? item->textContent().value_or(QString()).toInt() : -1);
    return rows;
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
        const bool onPin
            = state.press(rowsOf(layout, drag.grid ? gridBlocks : listBlocks), at(layout, drag.pressed));
        EXPECT_EQ(onPin, drag.release != Release::notPressed);
        for (const auto &move : drag.moves)
            state.move(at(layout, move));
        const PinnedItemDragState::Outcome outcome = state.release(at(layout, drag.releasedAt));
        EXPECT_EQ(outcome.release, drag.release);
        EXPECT_EQ(startRows(outcome.pinsInNewOrder), drag.order);
        EXPECT_FALSE(state.isPressed()) << "a release ends the drag";
    }
}

TEST(PinnedItemDragStateTest, TheColumnDrawsTheOrderADropWouldStore)
{
    const ColumnLayout layout(listBlocks, false, 200, true, 10);
    PinnedItemDragState state;
    ASSERT_TRUE(state.press(rowsOf(layout, listBlocks), layout.cellRect(2).center()));
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

// A press becomes a drag once the pointer has gone five points from it, counted along both axes
// together; a press moved less is still a click when released.
TEST(PinnedItemDragStateTest, APressBecomesADragFivePointsAway)
{
    const ColumnLayout layout(listBlocks, false, 200, true, 10);
    const struct
    {
        QPointF offset;
        bool drags;
    } cases[] = {
        { { 4, 0 }, false },
        { { 2, 2 }, false },
        { { -2.5, 2.25 }, false },
        { { 0, 4.75 }, false },
        { { 5, 0 }, true },
        { { 0, -5 }, true },
        { { 3, 2 }, true },
        { { -2.5, -2.5 }, true },
        { { 2.5, 2.75 }, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("moved by %1, %2").arg(c.offset.x()).arg(c.offset.y()).toStdString());
        PinnedItemDragState state;
        const QPointF pressed = layout.cellRect(3).center();
        ASSERT_TRUE(state.press(rowsOf(layout, listBlocks), pressed));
        EXPECT_EQ(state.move(pressed + c.offset), c.drags);
        EXPECT_EQ(state.isDragging(), c.drags);
        EXPECT_EQ(state.release(pressed + c.offset).release, c.drags ? Release::unchanged : Release::click);
    }
}

TEST(PinnedItemDragStateTest, EscapeAbandonsTheDragAndItsReleaseIsNoClick)
{
    const ColumnLayout layout(listBlocks, false, 200, true, 10);
    PinnedItemDragState state;
    ASSERT_TRUE(state.press(rowsOf(layout, listBlocks), layout.cellRect(2).center()));
    state.move(layout.cellRect(4).center());
    state.cancel();
    EXPECT_FALSE(state.isDragging());
    EXPECT_EQ(state.sourceRow(4), 4) << "the order drawn is the stored one again";
    EXPECT_TRUE(state.move(layout.cellRect(3).center())) << "the rest of the drag is still taken";
    EXPECT_EQ(state.sourceRow(3), 3) << "and starts no new drag";
    const PinnedItemDragState::Outcome outcome = state.release(layout.cellRect(3).center());
    EXPECT_EQ(outcome.release, Release::unchanged);
    EXPECT_TRUE(outcome.pinsInNewOrder.isEmpty());

    // A press not dragged yet is forgotten: its release is the column's ordinary click.
    ASSERT_TRUE(state.press(rowsOf(layout, listBlocks), layout.cellRect(3).center()));
    state.cancel();
    EXPECT_EQ(state.release(layout.cellRect(3).center()).release, Release::notPressed);
}

TEST(PinnedItemDragStateTest, HistoryAndACollapsedGroupHaveNoPinsToDrag)
{
    const QList<GridSection> unpinnedOnly { { "Unpinned", 0, 4, 1 } };
    const ColumnLayout layout(unpinnedOnly, false, 200, false, 10);
    EXPECT_FALSE(layout.pinnedSectionRect());
    PinnedItemDragState state;
    EXPECT_FALSE(state.press(rowsOf(layout, unpinnedOnly), layout.cellRect(0).center()));
    EXPECT_FALSE(state.move(layout.cellRect(2).center()));
    EXPECT_EQ(state.release(layout.cellRect(2).center()).release, Release::notPressed);
}

namespace {

// A Text column 200 wide with its pinned group open: the items in order, the first
// singleCharacters of them single-character pins and the next pins pinned.
PinnedItemDragState::Rows columnOf(
    const QList<ClipboardItemPtr> &items, int singleCharacters, int pins, bool grid = false)
{
    const int perRow = grid ? 3 : 1;
    QList<GridSection> sections;
    const auto add = [&](const char *title, int start, int count, int columns) {
        if (count > 0)
            sections.append({ QString::fromLatin1(title), start, count, columns });
    };
    add("SingleChars", 0, singleCharacters, 6);
    add("Pinned", singleCharacters, pins, perRow);
    add("Unpinned", singleCharacters + pins, int(items.size()) - singleCharacters - pins, perRow);
    return { ColumnLayout(sections, grid, 200, pins + singleCharacters > 0, 10), sections, items };
}

} // namespace

TEST(PinnedItemDragStateTest, TheDragKeepsItsPinWhenTheColumnsRowsChange)
{
    // Before the change: two single characters (0, 1), three pins (2, 3, 4), two unpinned (5, 6);
    // pin 2 dragged onto pin 4.
    const QList<ClipboardItemPtr> items = numberedItems(7);
    const ClipboardItemPtr copy
        = ClipboardItem::create(ClipboardItemType::text, { .text = QStringLiteral("9") });
    using Items = QList<ClipboardItemPtr>;
    const struct
    {
        const char *what;
        bool dragged; // moved past the threshold before the change, or only pressed
        PinnedItemDragState::Rows after;
        std::optional<int> drawnAt; // where the dragged pin is drawn after the change
        int releasedOn; // a row after the change
        Release release;
        QList<int> order; // the pins as they started (9: the new item), in their new order
    } cases[] = {
        { "a copy arrives", true, columnOf(Items(items).mid(0, 5) << copy << items[5] << items[6], 2, 3), 4,
            4, Release::reordered, { 0, 1, 3, 4, 2 } },
        { "a pin arrives before it", true, columnOf(Items(items).mid(0, 2) << copy << items.mid(2), 2, 4), 5,
            5, Release::reordered, { 0, 1, 9, 3, 4, 2 } },
        { "an unpinned item goes", true, columnOf(items.mid(0, 6), 2, 3), 4, 4, Release::reordered,
            { 0, 1, 3, 4, 2 } },
        { "the column becomes a grid", true, columnOf(items, 2, 3, true), 4, 3, Release::reordered,
            { 0, 1, 3, 2, 4 } },
        // Its place is its own again until the pointer moves.
        { "the pin it took the place of goes", true, columnOf(Items(items).mid(0, 4) << items.mid(5), 2, 2),
            2, 3, Release::reordered, { 0, 1, 3, 2 } },
        { "the dragged pin goes", true, columnOf(Items(items).mid(0, 2) << items.mid(3), 2, 2), std::nullopt,
            3, Release::unchanged, {} },
        { "the dragged pin is unpinned", true,
            columnOf(Items(items).mid(0, 2) << items.mid(3, 2) << items[2] << items.mid(5), 2, 2),
            std::nullopt, 2, Release::unchanged, {} },
        { "the pinned group is closed", true, columnOf(items.mid(5), 0, 0), std::nullopt, 0,
            Release::unchanged, {} },
        { "pressed only, its pin goes", false, columnOf(Items(items).mid(0, 2) << items.mid(3), 2, 2),
            std::nullopt, 2, Release::notPressed, {} },
        { "pressed only, a copy arrives", false, columnOf(Items(items) << copy, 2, 3), std::nullopt, 2,
            Release::click, {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const PinnedItemDragState::Rows before = columnOf(items, 2, 3);
        PinnedItemDragState state;
        ASSERT_TRUE(state.press(before, before.layout.cellRect(2).center()));
        if (c.dragged) {
            ASSERT_TRUE(state.move(before.layout.cellRect(4).center()));
        }
        state.rowsChanged(c.after);
        EXPECT_EQ(state.draggedShownRow(), c.drawnAt);
        const PinnedItemDragState::Outcome outcome
            = state.release(c.after.layout.cellRect(c.releasedOn).center());
        EXPECT_EQ(outcome.release, c.release);
        EXPECT_EQ(startRows(outcome.pinsInNewOrder), c.order);
    }
}
