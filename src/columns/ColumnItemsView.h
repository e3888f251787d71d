#pragma once

#include "columns/ColumnItemsModel.h"
#include "columns/ColumnLayout.h"
#include "columns/PinnedHeaderFade.h"
#include "columns/PinnedItemDragState.h"
#include "columns/RowLayoutAnimator.h"
#include "columns/ScrollOffsetThrottle.h"
#include "items/HoverPreviewTimer.h"
#include "items/ItemRowPainter.h"
#include "items/LabelEditor.h"
#include "items/RowStates.h"
#include "model/ClipboardItem.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <optional>

class HoverMarkerStore;
class ItemAvailability;
class PanelAnimations;

// The scrolling body of a column: draws the rows of its model (only those in view) in the
// column's layout, keeps the selected row in view and reports clicks. Never takes the keyboard
// focus, so typing always reaches the search field. When its rows change with a change the
// panel animates, they move to their new places as the row animator says; the pointer works on
// the new places at once (a click, a hover and a menu find the row that is going there).
class ColumnItemsView final : public QAbstractScrollArea
{
    Q_OBJECT
public:
    ColumnItemsView(
        ItemRowPainter &painter, ItemAvailability &files, RowStates rows, QWidget *parent = nullptr);

    void setModel(ColumnItemsModel *model);
    ColumnItemsModel *model() const { return m_model; }
    void setGrid(bool isGrid);
    void setFontSize(double size);
    void setTopPadding(double padding);
    void setKeyboardHighlight(bool keyboard);
    // The panel's table of item cells, where this view files its cells under the column's
    // index; and the timer of the item previews the pointer asks for.
    void setHoverMarkers(HoverMarkerStore *store, int columnIndex);
    void setPreviewTimer(HoverPreviewTimer *timer) { m_previewTimer = timer; }
    // The panel's animations, which say how changed rows move; without them rows jump.
    void setAnimations(PanelAnimations *animations);
    // How the rows move now (nothing without the panel's animations).
    const RowLayoutAnimator *rowAnimator() const { return m_rowAnimator.get(); }
    // How opaque the header of the group of pins is drawn now (0 when none shows).
    double pinnedHeaderOpacity() const;
    // Tells the table where the cells are on screen now and through what part they are seen.
    void updateHoverPlacement();

    const ColumnLayout &columnLayout() const { return m_layout; }
    // Where a row is drawn, in viewport coordinates (it may lie outside the viewport).
    QRect visualRect(int row) const;
    std::optional<int> rowAt(QPoint viewportPoint) const;
    void ensureRowVisible(int row);
    // Opens the field for a pin's label over its row.
    void beginLabelEdit(const ClipboardItemPtr &item);
    LabelEditor *labelEditor() const { return m_labelEditor; }

Q_SIGNALS:
    void itemClicked(const ClipboardItemPtr &item);
    // A single-character pin pastes its character, not the stored item.
    void textClicked(const QString &text);
    void contextMenuRequested(const ClipboardItemPtr &item, const QPoint &globalPosition);
    // The Delete action of a row swiped open.
    void deleteRequested(const ClipboardItemPtr &item);
    void pinnedHeaderClicked();
    // The content scrolled (told at most every 0.016 s).
    void scrolled();
    void labelEdited(const ClipboardItemPtr &item, const QString &label);
    // The column's pins dragged into a new order (all its pins shown, in that order).
    void pinsReordered(const QList<ClipboardItemPtr> &pinsInNewOrder);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;

private:
    // rowsChanged: the model's rows or blocks changed, which may move them; other layouts
    // (a new width, list or grid) put them in place at once.
    void relayout(bool rowsChanged = false);
    void animateRows(bool rowsChanged);
    // The group of pins' header as the layout places it, with its words.
    std::optional<PinnedHeaderFade::Header> pinnedHeader() const;
    // The header as drawn now (fading while the rows move).
    std::optional<PinnedHeaderFade::Drawn> drawnPinnedHeader() const;
    // What moves goes to its end at once.
    void finishMoving();
    void selectionMoved();
    void registerHoverCells();
    void pointerMoved(QPoint viewportPoint);
    QPointF contentPoint(QPointF viewportPoint) const;
    // A pin's drag began, or ended in whatever way.
    void pinDragBegan();
    void pinDragEnded();
    void cancelPinDrag();
    // The rows changed under a pin pressed or dragged.
    void followPinDrag();
    PinnedItemDragState::Rows pinRows() const;
    // row: the cell's row, whose swiped-open action the pointer can reach; none for a row that
    // left.
    void paintCell(QPainter &painter, std::optional<int> row, QRectF rect, ColumnLayout::CellKind kind,
        const ClipboardItemPtr &item, ItemRowPainter::Style style);
    // The pinned group's header, and while a pin is dragged the band a drop reorders.
    void paintPinnedGroup(QPainter &painter);
    // The rows fading out after they left, under the others.
    void paintLeavingRows(QPainter &painter, ItemRowPainter::Style style);
    // The revealed action of the row swiped open, in viewport coordinates; empty when none shows.
    QRect swipeActionRect(int row, const ClipboardItem &item) const;

    ItemRowPainter &m_painter;
    ItemAvailability &m_files;
    RowStates m_rows;
    QPointer<ColumnItemsModel> m_model;
    ColumnLayout m_layout;
    bool m_isGrid = false;
    double m_fontSize = 13.0;
    double m_rowHeight = ColumnLayout::rowHeight;
    double m_topPadding = 10.0;
    bool m_keyboardHighlight = false;
    HoverMarkerStore *m_hoverMarkers = nullptr;
    int m_columnIndex = 0;
    QPointer<HoverPreviewTimer> m_previewTimer;
    QPointer<LabelEditor> m_labelEditor;
    ScrollOffsetThrottle m_scrollThrottle;
    // A sideways scroll ends when no more of it comes for a moment (wheels have no end phase).
    QTimer *m_swipeEnd;
    std::weak_ptr<ClipboardItem> m_labelItem;
    PinnedItemDragState m_pinDrag;
    QPointer<PanelAnimations> m_animations;
    std::unique_ptr<RowLayoutAnimator> m_rowAnimator;
    std::unique_ptr<PinnedHeaderFade> m_headerFade;
};
