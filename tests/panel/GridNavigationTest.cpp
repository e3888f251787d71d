#include "panel/GridNavigation.h"
#include "panel/CategoryTitles.h"

#include <gtest/gtest.h>

namespace {

ClipboardItemPtr pin(const QString &text, int pinnedSecondsAgo)
{
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, { .text = text });
    item->setIsPinned(true);
    item->setPinnedTimestamp(QDateTime::currentDateTimeUtc().addSecs(-pinnedSecondsAgo));
    return item;
}

ClipboardItemPtr unpinned(const QString &text)
{
    return ClipboardItem::create(ClipboardItemType::text, { .text = text });
}

QStringList texts(const QList<ClipboardItemPtr> &items)
{
    QStringList result;
    for (const ClipboardItemPtr &item : items)
        result.append(item->textContent().value_or(QString()));
    return result;
}

// The blocks of the worked example: 11 single characters, 3 pins, 26 unpinned items.
const QList<GridSection> example { { "SingleChars", 0, 11, 11 }, { "Pinned", 11, 3, 5 },
    { "Unpinned", 14, 26, 5 } };

} // namespace

TEST(GridNavigationTest, CellsPerRowAtDifferentWidths)
{
    const struct
    {
        double width;
        bool grid;
        int regular;
        int singles;
    } cases[] = { { 320, true, 5, 11 }, { 320, false, 1, 11 }, { 60, true, 1, 1 }, { 10, true, 1, 1 },
        { 76, true, 1, 2 }, { 132, true, 2, 4 } };
    for (const auto &c : cases) {
        EXPECT_EQ(regularCellsPerRow(c.grid, c.width), c.regular) << c.width;
        EXPECT_EQ(singleCharactersPerRow(c.width), c.singles) << c.width;
    }
}

TEST(GridNavigationTest, NavigationOrderPutsSingleCharactersThenPinsThenTheRest)
{
    const QList<ClipboardItemPtr> items { unpinned("new"), pin("long pin", 10), pin(" a\n", 5),
        unpinned("old"), pin("b", 30), pin(QString(50, ' ') + "c", 40), pin("😀", 1) };
    EXPECT_EQ(texts(navigableItems(CategoryTitle::text, items, false)), QStringList({ "new", "old" }));
    EXPECT_EQ(texts(navigableItems(CategoryTitle::text, items, true)),
        QStringList({ "b", " a\n", "😀", QString(50, ' ') + "c", "long pin", "new", "old" }));
    EXPECT_EQ(navigableItems(CategoryTitle::history, items, false), items);

    const QList<ClipboardItemPtr> expanded = navigableItems(CategoryTitle::text, items, true);
    EXPECT_EQ(gridSections(CategoryTitle::text, expanded, false, 320, true),
        QList<GridSection>({ { "SingleChars", 0, 3, 11 }, { "Pinned", 3, 2, 1 }, { "Unpinned", 5, 2, 1 } }));
    const QList<ClipboardItemPtr> collapsed = navigableItems(CategoryTitle::text, items, false);
    EXPECT_EQ(gridSections(CategoryTitle::text, collapsed, true, 320, false),
        QList<GridSection>({ { "Unpinned", 0, 2, 5 } }));
    EXPECT_EQ(gridSections(CategoryTitle::history, items, true, 320, true),
        QList<GridSection>({ { "Unpinned", 0, 7, 5 } }));
    // Blocks without items are left out.
    EXPECT_EQ(gridSections(CategoryTitle::colors, { pin("x", 1), unpinned("y") }, true, 320, true),
        QList<GridSection>({ { "SingleChars", 0, 1, 11 }, { "Unpinned", 1, 1, 5 } }));
}

TEST(GridNavigationTest, MovesAcrossBlocksOfDifferentWidths)
{
    const struct
    {
        int from;
        int rowDelta;
        int columnDelta;
        std::optional<int> to;
    } cases[] = {
        { 10, 1, 0, 13 }, // column 10 clamped to the pins' width (15), then to their last item
        { 14, -1, 0, 11 }, // first unpinned up into the pins' last row, column 0
        { 11, -1, 0, 0 }, // first pin up into the single characters, column 0
        { 0, -1, 0, std::nullopt }, // top row of the first block: no wrap
        { 3, 1, 0, 13 },
        { 12, 1, 0, 15 }, // pin column 1 to the first unpinned row, column 1
        { 39, 1, 0, 39 }, // down from the last row: the last item
        { 35, 1, 0, 39 }, // down into the short last row past its end: the block's last item
        { 34, 1, 0, 39 },
        { 33, 1, 0, 38 },
        { 36, 0, 1, 37 },
        { 39, 0, 1, std::nullopt }, // right from the end of the short last row
        { 38, 0, 1, std::nullopt }, // right from a row's last column
        { 34, 0, -1, std::nullopt }, // left from column 0
        { 35, 0, -1, 34 },
        { 10, 0, 1, std::nullopt },
        { 9, 0, 1, 10 },
        { 40, 1, 0, std::nullopt }, // outside every block
        { -1, 1, 0, std::nullopt },
    };
    for (const auto &c : cases)
        EXPECT_EQ(navigateGrid(c.from, example, c.rowDelta, c.columnDelta, 40), c.to)
            << c.from << " by " << c.rowDelta << "," << c.columnDelta;
    EXPECT_EQ(navigateGrid(0, {}, 1, 0, 0), std::nullopt);
}

TEST(GridNavigationTest, FirstRowEnd)
{
    EXPECT_EQ(firstRowEndIndex(example, 40), 10);
    EXPECT_EQ(firstRowEndIndex({ { "Unpinned", 0, 3, 5 } }, 3), 2);
    EXPECT_EQ(firstRowEndIndex({ { "Unpinned", 0, 9, 1 } }, 9), 0);
    EXPECT_EQ(firstRowEndIndex({}, 0), std::nullopt);
    EXPECT_EQ(firstRowEndIndex({}, 4), 0);
}

TEST(GridNavigationTest, UpFromTheSecondRowOfTilesStaysAmongTheTilesUnderARowOfPins)
{
    // A grid three tiles wide: a row of three pins above six unpinned tiles.
    const double width = 200;
    ASSERT_EQ(regularCellsPerRow(true, width), 3);
    QList<ClipboardItemPtr> items { pin("pin one", 30), pin("pin two", 20), pin("pin three", 10) };
    for (int i = 1; i <= 6; ++i)
        items.append(unpinned(QStringLiteral("tile %1").arg(i)));
    const QList<ClipboardItemPtr> order = navigableItems(CategoryTitle::text, items, true);
    const QList<GridSection> sections = gridSections(CategoryTitle::text, order, true, width, true);
    ASSERT_EQ(sections,
        (QList<GridSection> {
            { QStringLiteral("Pinned"), 0, 3, 3 }, { QStringLiteral("Unpinned"), 3, 6, 3 } }));
    const auto textAt = [&](std::optional<int> index) {
        return index ? order.value(*index)->textContent().value_or(QString()) : QStringLiteral("<none>");
    };
    const int total = int(order.size());
    const struct
    {
        const char *from;
        int rowDelta;
        int columnDelta;
        const char *to;
    } moves[] = {
        { "tile 4", -1, 0, "tile 1" }, // the fourth tile starts the second row
        { "tile 5", -1, 0, "tile 2" },
        { "tile 6", -1, 0, "tile 3" },
        { "tile 1", -1, 0, "pin one" }, // only the first row leaves for the pins
        { "tile 3", -1, 0, "pin three" },
        { "pin two", 1, 0, "tile 2" },
        { "tile 4", 0, 1, "tile 5" },
        { "tile 3", 0, 1, "<none>" },
    };
    for (const auto &move : moves) {
        const int from = int(std::find_if(order.begin(), order.end(), [&](const ClipboardItemPtr &item) {
            return item->textContent() == QString::fromUtf8(move.from);
        }) - order.begin());
        EXPECT_EQ(textAt(navigateGrid(from, sections, move.rowDelta, move.columnDelta, total)),
            QString::fromUtf8(move.to))
            << move.from << " by " << move.rowDelta << "," << move.columnDelta;
    }
}
