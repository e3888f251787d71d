#include "panel/GridNavigation.h"

#include "panel/CategoryTitles.h"
#include "panel/PanelCategories.h"

#include <algorithm>
#include <cmath>

namespace {

int cellsPerRow(double width, double pitch)
{
    return std::max(1, int(std::floor((width - GridMetrics::horizontalInset) / pitch)));
}

int ceilDiv(int value, int divisor)
{
    return (value + divisor - 1) / divisor;
}

} // namespace

int regularCellsPerRow(bool isGrid, double width)
{
    return isGrid ? cellsPerRow(width, GridMetrics::tilePitch) : 1;
}

int singleCharactersPerRow(double width)
{
    return cellsPerRow(width, GridMetrics::singleCharacterPitch);
}

QList<ClipboardItemPtr> navigableItems(
    const QString &title, const QList<ClipboardItemPtr> &items, bool pinnedGroupExpanded)
{
    if (title == CategoryTitle::history)
        return items;
    QList<ClipboardItemPtr> pinned;
    QList<ClipboardItemPtr> unpinned;
    for (const ClipboardItemPtr &item : items)
        (item->isPinned() ? pinned : unpinned).append(item);
    if (!pinnedGroupExpanded || pinned.isEmpty())
        return unpinned;

    sortByPinTime(pinned);
    QList<ClipboardItemPtr> result;
    result.reserve(items.size());
    QList<ClipboardItemPtr> otherPins;
    for (const ClipboardItemPtr &item : pinned)
        (item->isSingleCharacterPin() ? result : otherPins).append(item);
    result.append(otherPins);
    result.append(unpinned);
    return result;
}

QList<GridSection> gridSections(const QString &title, const QList<ClipboardItemPtr> &navigationList,
    bool isGrid, double width, bool pinnedGroupExpanded)
{
    const int regular = regularCellsPerRow(isGrid, width);
    const int total = int(navigationList.size());
    const bool anyPinned = std::any_of(navigationList.begin(), navigationList.end(),
        [](const ClipboardItemPtr &item) { return item->isPinned(); });
    if (title == CategoryTitle::history || !pinnedGroupExpanded || !anyPinned)
        return { GridSection { QStringLiteral("Unpinned"), 0, total, regular } };

    int singles = 0;
    int pins = 0;
    for (const ClipboardItemPtr &item : navigationList) {
        if (!item->isPinned())
            continue;
        (item->isSingleCharacterPin() ? singles : pins) += 1;
    }
    const int unpinned = total - singles - pins;
    QList<GridSection> sections;
    if (singles > 0)
        sections.append({ QStringLiteral("SingleChars"), 0, singles, singleCharactersPerRow(width) });
    if (pins > 0)
        sections.append({ QStringLiteral("Pinned"), singles, pins, regular });
    if (unpinned > 0)
        sections.append({ QStringLiteral("Unpinned"), singles + pins, unpinned, regular });
    return sections;
}

std::optional<int> navigateGrid(
    int index, const QList<GridSection> &sections, int rowDelta, int columnDelta, int total)
{
    const auto found = std::find_if(sections.begin(), sections.end(),
        [index](const GridSection &s) { return index >= s.startIndex && index < s.startIndex + s.count; });
    if (found == sections.end())
        return std::nullopt;
    const qsizetype position = found - sections.begin();
    const GridSection &section = *found;
    const int perRow = std::max(1, section.columnsPerRow);
    const int local = index - section.startIndex;
    const int row = local / perRow;
    const int newColumn = local % perRow + columnDelta;
    if (newColumn < 0 || newColumn >= perRow)
        return std::nullopt;
    const int newRow = row + rowDelta;

    if (newRow < 0) {
        if (position == 0)
            return std::nullopt;
        const GridSection &previous = sections[position - 1];
        const int previousPerRow = std::max(1, previous.columnsPerRow);
        const int lastRow = ceilDiv(previous.count, previousPerRow) - 1;
        const int candidate
            = previous.startIndex + lastRow * previousPerRow + std::min(previousPerRow - 1, newColumn);
        return std::min(candidate, previous.startIndex + previous.count - 1);
    }
    if (newRow >= ceilDiv(section.count, perRow)) {
        if (position == sections.size() - 1)
            return total - 1;
        const GridSection &next = sections[position + 1];
        const int nextPerRow = std::max(1, next.columnsPerRow);
        return std::min(
            next.startIndex + std::min(nextPerRow - 1, newColumn), next.startIndex + next.count - 1);
    }
    const int target = newRow * perRow + newColumn;
    if (target >= section.count) {
        if (columnDelta > 0)
            return std::nullopt;
        return section.startIndex + section.count - 1;
    }
    return section.startIndex + target;
}

std::optional<int> firstRowEndIndex(const QList<GridSection> &sections, int navigationCount)
{
    if (navigationCount <= 0)
        return std::nullopt;
    if (sections.isEmpty())
        return 0;
    const GridSection &first = sections.first();
    return std::min(first.count - 1, first.columnsPerRow - 1);
}
