#include "columns/ColumnItemsView.h"

#include "KeyboardShortcuts/ModifierKeyManager.h"
#include "columns/ColumnItemsModel.h"
#include "items/HoverPreviewTimer.h"
#include "items/ItemRowPainter.h"
#include "items/ItemRowText.h"
#include "items/LabelEditState.h"
#include "items/LabelEditor.h"
#include "items/SwipeStateManager.h"
#include "panel/CategoryTitles.h"
#include "panel/HoverMarkerStore.h"
#include "panel/ItemAvailability.h"
#include "panel/PanelAnimations.h"
#include "panel/PanelLayout.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

ColumnItemsView::ColumnItemsView(
    ItemRowPainter &painter, ItemAvailability &files, RowStates rows, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_painter(painter)
    , m_files(files)
    , m_rows(rows)
    , m_scrollThrottle(Clock::system())
    , m_swipeEnd(new QTimer(this))
{
    m_swipeEnd->setSingleShot(true);
    m_swipeEnd->setInterval(150);
    connect(m_swipeEnd, &QTimer::timeout, this, [this] { m_rows.swipes.endSwipe(); });
    connect(&rows.swipes, &SwipeStateManager::changed, viewport(), qOverload<>(&QWidget::update));
    connect(&m_scrollThrottle, &ScrollOffsetThrottle::scrolled, this, &ColumnItemsView::scrolled);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    // Rows show whether a choice keeps the formatting, which Shift drops.
    connect(&ModifierKeyManager::shared(), &ModifierKeyManager::isShiftPressedChanged, viewport(),
        qOverload<>(&QWidget::update));
    // Pointer moves without a button pressed reach the view: the item previews follow them.
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(int(ColumnLayout::rowHeight / 2));
    // A thin bar that leaves the column its width.
    verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { width: 6px; background: transparent; margin: 0; }"
                       "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 0.45); border-radius: "
                       "3px; min-height: 24px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
}

void ColumnItemsView::setModel(ColumnItemsModel *model)
{
    if (m_model == model)
        return;
    cancelPinDrag();
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (model) {
        connect(model, &QAbstractItemModel::modelReset, this, [this] { relayout(true); });
        connect(model, &ColumnItemsModel::layoutDidChange, this, [this] { relayout(true); });
        // Only the rows that changed are drawn again (a selection moving over thousands of rows).
        connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &top, const QModelIndex &bottom) {
                QRect changed;
                for (int row = top.row(); row <= bottom.row() && row >= 0; ++row)
                    changed |= visualRect(row).adjusted(-2, -2, 2, 2);
                viewport()->update(changed.intersected(viewport()->rect()));
            });
        connect(model, &ColumnItemsModel::selectedRowChanged, this, &ColumnItemsView::selectionMoved);
    }
    relayout();
}

void ColumnItemsView::setAnimations(PanelAnimations *animations)
{
    if (m_animations == animations)
        return;
    if (m_animations)
        disconnect(m_animations, nullptr, this, nullptr);
    m_animations = animations;
    m_rowAnimator.reset();
    m_headerFade.reset();
    if (!animations)
        return;
    m_rowAnimator = std::make_unique<RowLayoutAnimator>(animations->clock());
    m_headerFade = std::make_unique<PinnedHeaderFade>(animations->clock());
    connect(m_rowAnimator.get(), &RowLayoutAnimator::frame, viewport(), qOverload<>(&QWidget::update));
    connect(m_headerFade.get(), &PinnedHeaderFade::frame, viewport(), qOverload<>(&QWidget::update));
    connect(animations, &PanelAnimations::finishNow, this, &ColumnItemsView::finishMoving);
    animateRows(false);
}

void ColumnItemsView::setGrid(bool isGrid)
{
    if (m_isGrid == isGrid)
        return;
    m_isGrid = isGrid;
    relayout();
}

void ColumnItemsView::setFontSize(double size)
{
    if (m_fontSize == size)
        return;
    m_fontSize = size;
    m_rowHeight = ItemRowPainter::rowHeight(size);
    relayout();
}

void ColumnItemsView::setTopPadding(double padding)
{
    if (m_topPadding == padding)
        return;
    m_topPadding = padding;
    relayout();
}

void ColumnItemsView::setKeyboardHighlight(bool keyboard)
{
    if (m_keyboardHighlight == keyboard)
        return;
    m_keyboardHighlight = keyboard;
    viewport()->update();
}

void ColumnItemsView::setHoverMarkers(HoverMarkerStore *store, int columnIndex)
{
    if (m_hoverMarkers == store && m_columnIndex == columnIndex)
        return;
    m_hoverMarkers = store;
    m_columnIndex = columnIndex;
    registerHoverCells();
}

void ColumnItemsView::registerHoverCells()
{
    if (!m_hoverMarkers)
        return;
    QList<HoverMarkerStore::Cell> cells;
    cells.reserve(m_layout.cellCount());
    for (int row = 0; row < m_layout.cellCount(); ++row)
        cells.append({ row, m_layout.cellRect(row) });
    m_hoverMarkers->registerCells(this, m_columnIndex, std::move(cells));
    updateHoverPlacement();
}

void ColumnItemsView::updateHoverPlacement()
{
    if (!m_hoverMarkers)
        return;
    QWidget *surface = viewport();
    QWidget *top = window();
    const bool attached = surface->isVisible();
    m_hoverMarkers->setAttached(this, attached);
    if (!attached)
        return;
    // What of the viewport shows: clipped by every widget above it (a column cut off by the
    // window's edge while the History column slides, the window itself).
    const QRect visible = surface->visibleRegion().boundingRect();
    const QPoint offset = surface->mapTo(top, QPoint(0, 0));
    m_hoverMarkers->setPlacement(
        this, QPointF(offset) - QPointF(0, verticalScrollBar()->value()), QRectF(visible.translated(offset)));
}

void ColumnItemsView::relayout(bool rowsChanged)
{
    if (!m_model) {
        m_layout = ColumnLayout();
    } else {
        const bool pinnedHeader = m_model->title() != CategoryTitle::history && m_model->pinCount() > 0;
        m_layout = ColumnLayout(
            m_model->sections(), m_isGrid, viewport()->width(), pinnedHeader, m_topPadding, m_rowHeight);
    }
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(0, int(std::ceil(m_layout.contentHeight())) - viewport()->height()));
    registerHoverCells();
    // A pin dragged meanwhile stays under the pointer, wherever its row went.
    followPinDrag();
    animateRows(rowsChanged);
    viewport()->update();
}

void ColumnItemsView::animateRows(bool rowsChanged)
{
    if (!m_rowAnimator)
        return;
    QList<RowLayoutAnimator::Row> rows;
    if (m_model) {
        rows.reserve(m_layout.cellCount());
        for (const GridSection &section : m_model->sections()) {
            const int end = std::min(section.startIndex + section.count, m_layout.cellCount());
            for (int row = section.startIndex; row < end; ++row)
                rows.append(
                    { m_model->itemAt(row), section.title, m_layout.cellRect(row), m_layout.cellKind(row) });
        }
    }
    const std::optional<PinnedHeaderFade::Header> header = pinnedHeader();
    const bool headerComesOrGoes = header.has_value() != m_headerFade->hasHeader();
    std::optional<AnimationTiming> timing;
    // A dragged pin's block shows the order it would be dropped in, not a transition.
    if ((headerComesOrGoes || m_rowAnimator->differsFrom(rows)) && rowsChanged && m_animations
        && !m_pinDrag.isDragging())
        timing = m_animations->takeRowTiming();
    m_rowAnimator->setRows(rows, timing);
    m_headerFade->setHeader(header, timing);
}

std::optional<PinnedHeaderFade::Header> ColumnItemsView::pinnedHeader() const
{
    const std::optional<QRectF> rect = m_layout.pinnedHeaderRect();
    if (!rect || !m_model)
        return std::nullopt;
    const QString chevron
        = m_model->isPinnedGroupExpanded() ? QStringLiteral("\u25BE") : QStringLiteral("\u25B8");
    return PinnedHeaderFade::Header { *rect,
        QStringLiteral("%1  Pinned \u00B7 %2").arg(chevron).arg(m_model->pinCount()) };
}

std::optional<PinnedHeaderFade::Drawn> ColumnItemsView::drawnPinnedHeader() const
{
    if (m_headerFade)
        return m_headerFade->drawn();
    if (std::optional<PinnedHeaderFade::Header> laidOut = pinnedHeader())
        return PinnedHeaderFade::Drawn { *laidOut, 1.0 };
    return std::nullopt;
}

double ColumnItemsView::pinnedHeaderOpacity() const
{
    const std::optional<PinnedHeaderFade::Drawn> drawn = drawnPinnedHeader();
    return drawn ? drawn->opacity : 0.0;
}

void ColumnItemsView::finishMoving()
{
    m_rowAnimator->finish();
    m_headerFade->finish();
}

void ColumnItemsView::followPinDrag()
{
    if (!m_pinDrag.isPressed())
        return;
    const bool wasDragging = m_pinDrag.isDragging();
    m_pinDrag.rowsChanged(pinRows());
    if (wasDragging && !m_pinDrag.isDragging())
        pinDragEnded();
}

PinnedItemDragState::Rows ColumnItemsView::pinRows() const
{
    if (!m_model)
        return { m_layout, {}, {} };
    return { m_layout, m_model->sections(), m_model->items() };
}

void ColumnItemsView::selectionMoved()
{
    // The keys bring their selection into view; the pointer's is in view already, and scrolling
    // under the pointer would move the selection on.
    if (m_keyboardHighlight && m_model && m_model->selectedRow())
        ensureRowVisible(*m_model->selectedRow());
}

QRect ColumnItemsView::visualRect(int row) const
{
    return m_layout.cellRect(row).translated(0, -verticalScrollBar()->value()).toAlignedRect();
}

std::optional<int> ColumnItemsView::rowAt(QPoint viewportPoint) const
{
    return m_layout.rowAt(QPointF(viewportPoint) + QPointF(0, verticalScrollBar()->value()));
}

void ColumnItemsView::ensureRowVisible(int row)
{
    const QRectF rect = m_layout.cellRect(row);
    if (rect.isNull())
        return;
    QScrollBar *bar = verticalScrollBar();
    const double margin = ColumnLayout::rowSpacing * 2;
    const double top = rect.top() - margin;
    const double bottom = rect.bottom() + margin;
    if (top < bar->value())
        bar->setValue(int(std::floor(top)));
    else if (bottom > bar->value() + viewport()->height())
        bar->setValue(int(std::ceil(bottom - viewport()->height())));
}

void ColumnItemsView::beginLabelEdit(const ClipboardItemPtr &item)
{
    if (!m_model || !item || !item->isPinned())
        return;
    const int row = int(m_model->items().indexOf(item));
    if (row < 0)
        return;
    if (m_labelEditor)
        m_labelEditor->deleteLater();
    ensureRowVisible(row);
    m_labelItem = item;
    auto *editor = new LabelEditor(item->pinnedLabel().value_or(QString()), m_rows.labelEditing, viewport());
    m_labelEditor = editor;
    editor->setFont(PanelLayout::panelFont(m_fontSize));
    // Over the row's words, right of its picture.
    const QRect rect = visualRect(row);
    const int left = rect.left() + 46;
    const int height = std::min(rect.height() - 8, editor->sizeHint().height());
    editor->setGeometry(left, rect.center().y() - height / 2, std::max(40, rect.right() - 18 - left), height);
    QPointer<ColumnItemsView> self(this);
    connect(editor, &LabelEditor::finished, this, [self, editor](bool keep, const QString &text) {
        editor->deleteLater();
        if (!self)
            return;
        const ClipboardItemPtr edited = self->m_labelItem.lock();
        self->m_labelItem.reset();
        if (keep && edited)
            Q_EMIT self->labelEdited(edited, text);
        self->viewport()->update();
    });
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
}

void ColumnItemsView::paintEvent(QPaintEvent *)
{
    if (!m_model)
        return;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    const double offset = verticalScrollBar()->value();
    painter.translate(0, -offset);
    const QPalette &palette = this->palette();
    paintPinnedGroup(painter);

    const std::optional<int> selected = m_model->selectedRow();
    ItemRowPainter::Style style;
    style.palette = palette;
    style.fontSize = m_fontSize;
    style.keyboardHighlight = m_keyboardHighlight;
    style.plainTextPaste = ModifierKeyManager::shared().isShiftPressed();
    const bool moving = m_rowAnimator && m_rowAnimator->isRunning() && !m_pinDrag.isDragging();
    const double bottom = offset + viewport()->height();
    if (moving)
        paintLeavingRows(painter, style);
    for (int row :
        moving ? m_rowAnimator->rowsDrawnBetween(offset, bottom) : m_layout.rowsBetween(offset, bottom)) {
        // While a pin is dragged its block shows the order it would be dropped in.
        const int source = m_pinDrag.sourceRow(row);
        const ClipboardItemPtr item = m_model->itemAt(source);
        if (!item)
            continue;
        style.selected = selected == source;
        style.available = m_files.isFileAvailable(*item);
        const QRectF rect = moving ? m_rowAnimator->drawnRect(row) : m_layout.cellRect(row);
        painter.save();
        if (m_pinDrag.draggedShownRow() == row) {
            // The dragged pin, lifted out of its place.
            painter.setPen(Qt::NoPen);
            painter.setBrush(primaryTint075(palette));
            painter.drawRoundedRect(rect, 8, 8);
            painter.setOpacity(0.5);
        } else if (moving) {
            painter.setOpacity(m_rowAnimator->opacity(row));
        }
        paintCell(painter, row, rect, m_layout.cellKind(row), item, style);
        painter.restore();
    }
}

void ColumnItemsView::paintPinnedGroup(QPainter &painter)
{
    const QPalette &palette = this->palette();
    if (const std::optional<PinnedHeaderFade::Drawn> header = drawnPinnedHeader();
        header && header->opacity > 0.0) {
        painter.save();
        painter.setOpacity(header->opacity);
        painter.setPen(primaryTint65(palette));
        painter.setFont(PanelLayout::panelFont(m_fontSize - 2, QFont::Medium));
        painter.drawText(header->header.rect, Qt::AlignLeft | Qt::AlignVCenter, header->header.text);
        painter.restore();
    }
    if (const std::optional<QRectF> pins = m_layout.pinnedSectionRect(); pins && m_pinDrag.isDragging()) {
        // Where a drop reorders.
        painter.setPen(Qt::NoPen);
        painter.setBrush(primaryTint04(palette));
        painter.drawRoundedRect(
            pins->adjusted(ColumnLayout::inset / 2, -4, -ColumnLayout::inset / 2, 4), 10, 10);
    }
}

void ColumnItemsView::paintLeavingRows(QPainter &painter, ItemRowPainter::Style style)
{
    style.selected = false;
    for (const RowLayoutAnimator::Drawn &leaving : m_rowAnimator->leavingRows()) {
        style.available = m_files.isFileAvailable(*leaving.item);
        painter.save();
        painter.setOpacity(leaving.opacity);
        paintCell(painter, std::nullopt, leaving.rect, leaving.kind, leaving.item, style);
        painter.restore();
    }
}

void ColumnItemsView::paintCell(QPainter &painter, std::optional<int> row, QRectF rect,
    ColumnLayout::CellKind kind, const ClipboardItemPtr &item, ItemRowPainter::Style style)
{
    // A row swiped open slides left over its Delete action.
    if (const double slid = m_rows.swipes.offset({ item->id(), this }); slid < 0) {
        const QRectF action(rect.right() + slid, rect.top(), -slid, rect.height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xE0, 0x3E, 0x36));
        painter.drawRoundedRect(action, 8, 8);
        painter.setPen(Qt::white);
        painter.setFont(PanelLayout::panelFont(m_fontSize - 1, QFont::Medium));
        painter.drawText(action, Qt::AlignCenter, QStringLiteral("Delete"));
        if (const QRect shown = row ? swipeActionRect(*row, *item) : QRect(); !shown.isEmpty())
            m_rows.swipes.setActionArea(QRect(viewport()->mapToGlobal(shown.topLeft()), shown.size()));
        rect.translate(slid, 0);
    }
    switch (kind) {
    case ColumnLayout::CellKind::singleCharacter:
        m_painter.paintSingleCharacter(painter, rect, *item, style);
        break;
    case ColumnLayout::CellKind::tile:
        m_painter.paintTile(painter, rect, *item, style);
        break;
    case ColumnLayout::CellKind::row:
        m_painter.paintRow(painter, rect, *item, style);
        break;
    }
}

void ColumnItemsView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

QRect ColumnItemsView::swipeActionRect(int row, const ClipboardItem &item) const
{
    const SwipeStateManager::Row swiped { item.id(), this };
    const double slid = m_rows.swipes.offset(swiped);
    if (slid >= 0 || m_rows.swipes.openRow() != swiped)
        return {};
    const QRect rect = visualRect(row);
    return QRect(rect.right() + 1 + int(slid), rect.top(), int(-slid), rect.height());
}

void ColumnItemsView::wheelEvent(QWheelEvent *event)
{
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    const bool sideways = pixels.isNull() ? std::abs(angle.x()) > std::abs(angle.y())
                                          : std::abs(pixels.x()) > std::abs(pixels.y());
    const std::optional<int> row = m_model ? rowAt(event->position().toPoint()) : std::nullopt;
    const ClipboardItemPtr item = row ? m_model->itemAt(*row) : nullptr;
    if (!sideways || !item || m_layout.cellKind(*row) != ColumnLayout::CellKind::row) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // Fingers to the left open the row; a wheel's eighths of a degree count as points.
    m_rows.swipes.swipe({ item->id(), this }, pixels.isNull() ? angle.x() / 4.0 : pixels.x());
    if (event->phase() == Qt::ScrollEnd)
        m_rows.swipes.endSwipe();
    else
        m_swipeEnd->start();
    event->accept();
}

QPointF ColumnItemsView::contentPoint(QPointF viewportPoint) const
{
    return viewportPoint + QPointF(0, verticalScrollBar()->value());
}

void ColumnItemsView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_model
        && m_pinDrag.press(pinRows(), contentPoint(event->position()))) {
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void ColumnItemsView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_pinDrag.isPressed()) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const bool wasDragging = m_pinDrag.isDragging();
    // What is drawn follows the dragged pin's place, not the pointer: a move within one place
    // draws nothing again.
    const std::optional<int> placeBefore = m_pinDrag.draggedShownRow();
    m_pinDrag.move(contentPoint(event->position()));
    if (!wasDragging && m_pinDrag.isDragging())
        pinDragBegan();
    if (m_pinDrag.draggedShownRow() != placeBefore)
        viewport()->update();
    event->accept();
}

void ColumnItemsView::pinDragBegan()
{
    // The rows stand still under the drag.
    if (m_rowAnimator)
        finishMoving();
    // Escape abandons the drag wherever the keyboard focus is (the search field keeps it).
    qApp->installEventFilter(this);
    viewport()->setCursor(Qt::ClosedHandCursor);
    if (m_previewTimer)
        m_previewTimer->cancel();
}

void ColumnItemsView::pinDragEnded()
{
    qApp->removeEventFilter(this);
    viewport()->unsetCursor();
    viewport()->update();
}

void ColumnItemsView::cancelPinDrag()
{
    if (!m_pinDrag.isPressed())
        return;
    m_pinDrag.cancel();
    pinDragEnded();
}

void ColumnItemsView::hideEvent(QHideEvent *event)
{
    cancelPinDrag();
    QAbstractScrollArea::hideEvent(event);
}

bool ColumnItemsView::eventFilter(QObject *watched, QEvent *event)
{
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (!key || !m_pinDrag.isDragging() || static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
        return QAbstractScrollArea::eventFilter(watched, event);
    // Taken here, so that the panel does not also close on it.
    event->accept();
    if (event->type() == QEvent::KeyPress)
        cancelPinDrag();
    return true;
}

void ColumnItemsView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_model)
        return;
    const PinnedItemDragState::Outcome drag = m_pinDrag.release(contentPoint(event->position()));
    if (drag.release == PinnedItemDragState::Release::reordered
        || drag.release == PinnedItemDragState::Release::unchanged) {
        pinDragEnded();
        if (drag.release == PinnedItemDragState::Release::reordered)
            Q_EMIT pinsReordered(drag.pinsInNewOrder);
        return;
    }
    if (const std::optional<int> row = rowAt(event->position().toPoint())) {
        const ClipboardItemPtr item = m_model->itemAt(*row);
        if (item && swipeActionRect(*row, *item).contains(event->position().toPoint())) {
            m_rows.swipes.closeOpenRow();
            Q_EMIT deleteRequested(item);
            return;
        }
    }
    if (const std::optional<QRectF> header = m_layout.pinnedHeaderRect();
        header && header->contains(contentPoint(event->position()))) {
        Q_EMIT pinnedHeaderClicked();
        return;
    }
    const std::optional<int> row = rowAt(event->position().toPoint());
    if (!row)
        return;
    const ClipboardItemPtr item = m_model->itemAt(*row);
    if (!item)
        return;
    if (m_layout.cellKind(*row) == ColumnLayout::CellKind::singleCharacter)
        Q_EMIT textClicked(item->resolvedItem().textContent().value_or(QString()).trimmed());
    else
        Q_EMIT itemClicked(item);
}

void ColumnItemsView::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_model)
        return;
    if (const std::optional<int> row = rowAt(event->pos())) {
        if (const ClipboardItemPtr item = m_model->itemAt(*row))
            Q_EMIT contextMenuRequested(item, event->globalPos());
    }
}

void ColumnItemsView::scrollContentsBy(int, int)
{
    viewport()->update();
    updateHoverPlacement();
    // Another item may lie under the pointer now; its preview waits for the next move.
    if (m_previewTimer)
        m_previewTimer->pointerLeft();
    m_scrollThrottle.offsetChanged(verticalScrollBar()->value());
}

bool ColumnItemsView::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        if (static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton)
            pointerMoved(static_cast<QMouseEvent *>(event)->position().toPoint());
        break;
    case QEvent::Leave:
        if (m_previewTimer)
            m_previewTimer->pointerLeft();
        break;
    case QEvent::MouseButtonPress:
        if (m_previewTimer)
            m_previewTimer->cancel();
        break;
    case QEvent::Show:
    case QEvent::Hide:
        updateHoverPlacement();
        break;
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ColumnItemsView::pointerMoved(QPoint viewportPoint)
{
    if (!m_previewTimer || !m_model)
        return;
    const std::optional<int> row = rowAt(viewportPoint);
    const ClipboardItemPtr item = row ? m_model->itemAt(*row) : nullptr;
    if (!item) {
        m_previewTimer->pointerLeft();
        return;
    }
    // The preview goes beside the panel, level with the row: never over the panel's own content.
    const QRect rowRect = visualRect(*row);
    const QRect panel = window()->geometry();
    const QPoint rowTop = viewport()->mapToGlobal(rowRect.topLeft());
    m_previewTimer->pointerOver(item, QRectF(panel.left(), rowTop.y(), panel.width(), rowRect.height()));
}
