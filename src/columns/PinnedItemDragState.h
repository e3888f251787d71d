#pragma once

#include "columns/ColumnLayout.h"
#include "model/ClipboardItem.h"
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
// The drag holds its pin and the pin whose place it took by identity, so it outlasts a change
// of the column's rows (a copy arriving, an item going, a resize); only its own pin leaving the
// pins shown ends it. Points are in the column's content coordinates. Main thread only.
class PinnedItemDragState final
{
public:
    // How far (Manhattan) the pointer moves from the press before the pin is dragged.
    static constexpr double dragThreshold = 5.0;

    // What the column shows: where its cells are, its blocks and the item of each row.
    struct Rows
    {
        ColumnLayout layout;
        QList<GridSection> sections;
        QList<ClipboardItemPtr> items;
    };

    enum class Release {
        notPressed, // no pin was pressed: the release is the column's own
        click, // a pin pressed and released without a drag
        reordered, // dropped in the pinned section in a new order: pinsInNewOrder says which
        unchanged, // dropped outside, in the same order, or after a cancel: nothing to do
    };
    struct Outcome
    {
        Release release = Release::notPressed;
        // Every pin shown, in the new order (reordered only).
        QList<ClipboardItemPtr> pinsInNewOrder;
    };

    // A left press. True when it is on a pin, which a drag may now move.
    bool press(const Rows &rows, QPointF point);
    // A move with the button held. True when the move belongs to a drag, begun now or before.
    bool move(QPointF point);
    Outcome release(QPointF point);
    // The column's rows or their places changed: the drag follows its pin to its new row. When
    // the pin is no longer among the pins shown, a drag ends as cancel() ends it and a press not
    // dragged yet is forgotten.
    void rowsChanged(const Rows &rows);
    // Escape, the column's model replaced, the panel hiding: a drag ends and changes nothing,
    // and the release still to come is no click; a press not dragged yet is forgotten.
    void cancel();

    bool isPressed() const { return m_pressedItem != nullptr; }
    bool isDragging() const { return m_dragging; }
    // The row whose item is drawn at a row now: the dragged block's rows in the order shown.
    int sourceRow(int shownRow) const;
    // Where the dragged pin is drawn now; nothing without a drag.
    std::optional<int> draggedShownRow() const;

private:
    // Finds the pressed pin in the rows; false when it is not among the pins shown.
    bool locatePressedPin(const Rows &rows);
    QList<ClipboardItemPtr> pinsShown() const;
    void setTarget(int row);
    void reset();

    Rows m_rows;
    ClipboardItemPtr m_pressedItem;
    // The pin whose place the dragged pin takes (the dragged pin itself in its own place).
    ClipboardItemPtr m_targetItem;
    // Where those are now, and the block of the dragged pin.
    int m_pressedRow = 0;
    int m_target = 0;
    GridSection m_block;
    // The first row of the pins and the row after them (both blocks).
    int m_pinsBegin = 0;
    int m_pinsEnd = 0;
    QPointF m_pressPoint;
    bool m_dragging = false;
    bool m_cancelled = false;
};
