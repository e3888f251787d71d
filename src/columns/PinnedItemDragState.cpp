#include "columns/PinnedItemDragState.h"

namespace {

bool contains(const GridSection &section, int row)
{
    return row >= section.startIndex && row < section.startIndex + section.count;
}

} // namespace

bool PinnedItemDragState::press(const Rows &rows, QPointF point)
{
    reset();
    const std::optional<int> row = rows.layout.rowAt(point);
    if (!row || *row >= rows.items.size())
        return false;
    m_pressedItem = rows.items[*row];
    if (!m_pressedItem || !locatePressedPin(rows)) {
        reset();
        return false;
    }
    m_targetItem = m_pressedItem;
    m_target = m_pressedRow;
    m_pressPoint = point;
    return true;
}

bool PinnedItemDragState::locatePressedPin(const Rows &rows)
{
    const int row = int(rows.items.indexOf(m_pressedItem));
    std::optional<GridSection> block;
    int pinsBegin = -1;
    int pinsEnd = -1;
    for (const GridSection &section : rows.sections) {
        if (!section.isPinned() || section.count <= 0)
            continue;
        if (pinsBegin < 0)
            pinsBegin = section.startIndex;
        pinsEnd = section.startIndex + section.count;
        if (contains(section, row))
            block = section;
    }
    if (!block)
        return false;
    m_rows = rows;
    m_block = *block;
    m_pinsBegin = pinsBegin;
    m_pinsEnd = pinsEnd;
    m_pressedRow = row;
    return true;
}

bool PinnedItemDragState::move(QPointF point)
{
    if (m_cancelled)
        return true; // the rest of an abandoned drag
    if (!isPressed())
        return false;
    if (!m_dragging && (point - m_pressPoint).manhattanLength() < dragThreshold)
        return false;
    m_dragging = true;
    const std::optional<QRectF> band = m_rows.layout.pinnedSectionRect();
    if (!band || !band->contains(point)) {
        // Out of the pins the order goes back to what it was: a drop there changes nothing.
        setTarget(m_pressedRow);
        return true;
    }
    // Over a gap, or over a pin of the other block, the pin stays where it was last put.
    if (const std::optional<int> over = m_rows.layout.rowAt(point); over && contains(m_block, *over))
        setTarget(*over);
    return true;
}

PinnedItemDragState::Outcome PinnedItemDragState::release(QPointF point)
{
    Outcome outcome;
    if (m_cancelled) {
        outcome.release = Release::unchanged;
    } else if (!isPressed()) {
        outcome.release = Release::notPressed;
    } else if (!m_dragging) {
        outcome.release = Release::click;
    } else {
        move(point);
        if (m_target == m_pressedRow) {
            outcome.release = Release::unchanged;
        } else {
            outcome.release = Release::reordered;
            outcome.pinsInNewOrder = pinsShown();
        }
    }
    reset();
    return outcome;
}

void PinnedItemDragState::rowsChanged(const Rows &rows)
{
    if (!isPressed() || m_cancelled)
        return;
    if (!locatePressedPin(rows)) {
        cancel();
        return;
    }
    // The pin it was put in place of keeps it there while that pin is still in its block.
    const int target = int(rows.items.indexOf(m_targetItem));
    setTarget(contains(m_block, target) ? target : m_pressedRow);
}

void PinnedItemDragState::cancel()
{
    if (!m_dragging) {
        // Not dragged yet: the press is forgotten, and its release is the column's own.
        reset();
        return;
    }
    m_dragging = false;
    setTarget(m_pressedRow);
    m_cancelled = true;
}

void PinnedItemDragState::setTarget(int row)
{
    m_target = row;
    m_targetItem = m_rows.items.value(row);
}

int PinnedItemDragState::sourceRow(int shownRow) const
{
    if (!m_dragging)
        return shownRow;
    const int origin = m_pressedRow;
    if (shownRow == m_target)
        return origin;
    // The pins between the dragged pin's place and its target move up by one towards its place.
    if (origin < m_target && shownRow >= origin && shownRow < m_target)
        return shownRow + 1;
    if (origin > m_target && shownRow > m_target && shownRow <= origin)
        return shownRow - 1;
    return shownRow;
}

std::optional<int> PinnedItemDragState::draggedShownRow() const
{
    return m_dragging ? std::optional(m_target) : std::nullopt;
}

QList<ClipboardItemPtr> PinnedItemDragState::pinsShown() const
{
    QList<ClipboardItemPtr> pins;
    for (int row = m_pinsBegin; row < m_pinsEnd; ++row)
        pins.append(m_rows.items.value(sourceRow(row)));
    return pins;
}

void PinnedItemDragState::reset()
{
    m_pressedItem.reset();
    m_targetItem.reset();
    m_rows = {};
    m_dragging = false;
    m_cancelled = false;
    m_pressedRow = 0;
    m_target = 0;
}
