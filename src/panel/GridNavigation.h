#pragma once

#include "model/ClipboardItem.h"

#include <QList>
#include <QString>

#include <optional>

// One block of rows of a column: single-character pins, other pins or unpinned items. Blocks
// follow each other without gaps; each starts a new row.
struct GridSection
{
    QString title; // "SingleChars", "Pinned" or "Unpinned"
    int startIndex = 0;
    int count = 0;
    int columnsPerRow = 1; // never below 1

    bool isSingleCharacters() const { return title == QLatin1String("SingleChars"); }
    bool isPinned() const { return title != QLatin1String("Unpinned"); }

    friend bool operator==(const GridSection &, const GridSection &) = default;
};

namespace GridMetrics {
// The column's horizontal padding, counted once for both sides.
inline constexpr double horizontalInset = 20.0;
// Pitch of a grid tile and of a single-character button.
inline constexpr double tilePitch = 56.0;
inline constexpr double singleCharacterPitch = 26.0;
} // namespace GridMetrics

// Tiles per row of the regular blocks: one in a list, as many 56-point tiles as fit in a grid.
int regularCellsPerRow(bool isGrid, double width);
// Single-character pins always sit in 26-point buttons, also in a list.
int singleCharactersPerRow(double width);

// The items of a column in the order the keyboard walks them. History keeps its order. Other
// columns give their unpinned items only while their pinned group is collapsed; expanded, the
// single-character pins come first, then the other pins (both in pin order), then the rest.
QList<ClipboardItemPtr> navigableItems(
    const QString &title, const QList<ClipboardItemPtr> &items, bool pinnedGroupExpanded);

// The blocks of a column's navigation list (as navigableItems gives it for the same flag).
QList<GridSection> gridSections(const QString &title, const QList<ClipboardItemPtr> &navigationList,
    bool isGrid, double width, bool pinnedGroupExpanded);

// Moves a flat index by rows and columns across the blocks; the column position carries into a
// neighbouring block as a position in the row, clamped to that block. Nothing when the index is
// in no block, when a sideways move leaves the row, or when moving up out of the first block.
std::optional<int> navigateGrid(
    int index, const QList<GridSection> &sections, int rowDelta, int columnDelta, int total);

// The last cell of the first row, where a move from the right lands; nothing for an empty list.
std::optional<int> firstRowEndIndex(const QList<GridSection> &sections, int navigationCount);
