#pragma once

#include "columns/ColumnLayout.h"
#include "panel/GridNavigation.h"

#include <QList>
#include <QPointF>

#include <optional>

// Reordering a column's pins by dragging them, without widgets. A press on a pin (a
// single-character button or another pin of the opened pinned group) becomes a drag once the
// pointer has moved a few points; while it lasts the pin takes the place of the pin of its own
// block under the pointer, and the column draws that order. Dropped in the pinned section, the
// order drawn is the new one; dropped outside it, or after Escape, nothing changes. A drag is
// never a click. A press elsewhere, or on a pin released before it moved, is the column's click.
// Points are in the column's content coordinates. Main thread only.
class PinnedItemDragState final
{
public:
    // How far (Manhattan) the pointer moves from the press before the pin is dragged.
    static constexpr double dragThreshold = 5.0;

    enum class Release {
        notPressed, // no pin was pressed: the release is the column's own
        click, // a pin pressed and released without a drag
        reordered, // dropped in the pinned section in a new order: pinnedRows says which
        unchanged, // dropped outside, in the same order, or after a cancel: nothing to do
    };
    struct Outcome
    {
        Release release = Release::notPressed;
        // The rows of the column's pins in their new order (reordered only).
        QList<int> pinnedRows;
    };

    // A left press. True when it is on a pin, which a drag may now move.
    bool press(const ColumnLayout &layout, const QList<GridSection> &sections, QPointF point);
    // A move with the button held. True when the move belongs to a drag, begun now or before.
    bool move(QPointF point);
    Outcome release(QPointF point);
    // Escape, the column's rows changing, the panel hiding: a drag ends and changes nothing, and
    // the release still to come is no click; a press not dragged yet is forgotten.
    void cancel();

    bool isPressed() const { return m_pressedRow.has_value(); }
    bool isDragging() const { return m_dragging; }
    // The row whose item is drawn at a row now: the dragged block's rows in the order shown.
    int sourceRow(int shownRow) const;
    // Where the dragged pin is drawn now; nothing without a drag.
    std::optional<int> draggedShownRow() const;

private:
    QList<int> pinnedRowsShown() const;
    void reset();

    ColumnLayout m_layout;
    GridSection m_block;
    // The first row of the pins and the row after them (both blocks).
    int m_pinsBegin = 0;
    int m_pinsEnd = 0;
    std::optional<int> m_pressedRow;
    QPointF m_pressPoint;
    int m_target = 0;
    bool m_dragging = false;
    bool m_cancelled = false;
};
