#include "columns/PinnedItemDragState.h"

namespace {

bool contains(const GridSection &section, int row)
{
    return row >= section.startIndex && row < section.startIndex + section.count;
}

} // namespace

bool PinnedItemDragState::press(const ColumnLayout &layout, const QList<GridSection> &sections, QPointF point)
{
    reset();
    const std::optional<int> row = layout.rowAt(point);
    if (!row)
        return false;
    std::optional<GridSection> block;
    int pinsBegin = -1;
    int pinsEnd = -1;
    for (const GridSection &section : sections) {
        if (!section.isPinned() || section.count <= 0)
            continue;
        if (pinsBegin < 0)
            pinsBegin = section.startIndex;
        pinsEnd = section.startIndex + section.count;
        if (contains(section, *row))
            block = section;
    }
    if (!block)
        return false;
    m_layout = layout;
    m_block = *block;
    m_pinsBegin = pinsBegin;
    m_pinsEnd = pinsEnd;
    m_pressedRow = *row;
    m_pressPoint = point;
    m_target = *row;
    return true;
}

bool PinnedItemDragState::move(QPointF point)
{
    if (m_cancelled)
        return true; // the rest of an abandoned drag
    if (!m_pressedRow)
        return false;
    if (!m_dragging && (point - m_pressPoint).manhattanLength() < dragThreshold)
        return false;
    m_dragging = true;
    const std::optional<QRectF> band = m_layout.pinnedSectionRect();
    if (!band || !band->contains(point)) {
        // Out of the pins the order goes back to what it was: a drop there changes nothing.
        m_target = *m_pressedRow;
        return true;
    }
    // Over a gap, or over a pin of the other block, the pin stays where it was last put.
    if (const std::optional<int> over = m_layout.rowAt(point); over && contains(m_block, *over))
        m_target = *over;
    return true;
}

PinnedItemDragState::Outcome PinnedItemDragState::release(QPointF point)
{
    Outcome outcome;
    if (m_cancelled) {
        outcome.release = Release::unchanged;
    } else if (!m_pressedRow) {
        outcome.release = Release::notPressed;
    } else if (!m_dragging) {
        outcome.release = Release::click;
    } else {
        move(point);
        if (m_target == *m_pressedRow) {
            outcome.release = Release::unchanged;
        } else {
            outcome.release = Release::reordered;
            outcome.pinnedRows = pinnedRowsShown();
        }
    }
    reset();
    return outcome;
}

void PinnedItemDragState::cancel()
{
    if (!m_dragging) {
        // Not dragged yet: the press is forgotten, and its release is the column's own.
        reset();
        return;
    }
    m_dragging = false;
    m_target = *m_pressedRow;
    m_cancelled = true;
}

int PinnedItemDragState::sourceRow(int shownRow) const
{
    if (!m_dragging || !m_pressedRow)
        return shownRow;
    const int origin = *m_pressedRow;
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

QList<int> PinnedItemDragState::pinnedRowsShown() const
{
    QList<int> rows;
    for (int row = m_pinsBegin; row < m_pinsEnd; ++row)
        rows.append(sourceRow(row));
    return rows;
}

void PinnedItemDragState::reset()
{
    m_pressedRow.reset();
    m_dragging = false;
    m_cancelled = false;
    m_target = 0;
}
