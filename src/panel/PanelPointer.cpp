#include "panel/PanelPointer.h"

#include "common/NotificationCenter.h"
#include "items/ClipboardItemPreview.h"
#include "model/AppSettings.h"
#include "panel/ItemPreviews.h"
#include "panel/PanelViewState.h"

#include <QCursor>
#include <QWidget>

PanelPointer::PanelPointer(QWidget &view, PanelViewState &state, AppSettings &settings, Clock &clock,
    std::function<void()> placeCells)
    : QObject(&view)
    , m_view(&view)
    , m_state(state)
    , m_settings(settings)
    , m_placeCells(std::move(placeCells))
    , m_previewTimer(clock)
{
    HoverTracker &tracker = state.hoverTracker();
    connect(&m_detector, &MouseMovedDetector::mouseMoved, this, [this, &tracker](QPointF point) {
        m_placeCells();
        tracker.handleMouseMoved(point);
    });
    connect(&m_detector, &MouseMovedDetector::mouseExited, this, [this, &tracker] {
        tracker.handleMouseExited();
        m_previewTimer.pointerLeft();
    });
    QPointer<PanelPointer> self(this);
    tracker.setPointerLocator([self](QObject *) -> std::optional<QPointF> {
        if (!self || !self->m_view || !self->m_view->isVisible())
            return std::nullopt;
        self->m_placeCells();
        return QPointF(self->m_view->window()->mapFromGlobal(QCursor::pos()));
    });

    connect(&m_previewTimer, &HoverPreviewTimer::showRequested, this, &PanelPointer::showPreview);
    connect(&m_previewTimer, &HoverPreviewTimer::scheduleHideRequested, this,
        [this] { m_state.roles().previews.schedulePreviewHide(); });
    connect(&m_previewTimer, &HoverPreviewTimer::hideRequested, this,
        [this] { m_state.roles().previews.hidePreview(true); });
    // The keys take over from the pointer: no preview of the item it rests on.
    connect(&state.selectionState(), &PanelSelectionState::isKeyboardNavigatingChanged, this,
        [this](bool keyboard) {
            if (keyboard)
                m_previewTimer.cancel();
        });
    NotificationCenter::defaultCenter().addObserver(
        Notifications::panelDidHide, this, [this](const QVariantMap &) { m_previewTimer.cancel(); });
}

void PanelPointer::followWindow()
{
    if (m_view)
        m_detector.setWindow(m_view->window()->windowHandle());
}

void PanelPointer::showPreview(const ClipboardItemPtr &item, const QRectF &anchor)
{
    if (!item || !m_view || !m_view->isVisible())
        return;
    CodeHighlighting &highlighting = m_state.roles().highlighting;
    const std::weak_ptr<ClipboardItem> weak = item;
    const QPalette palette = m_view->palette();
    const double fontSize = m_settings.fontSize();
    m_state.roles().previews.showPreview(
        [&highlighting, weak, palette, fontSize]() -> QWidget * {
            const ClipboardItemPtr shown = weak.lock();
            if (!shown || shown->isDeleted())
                return nullptr;
            return new ClipboardItemPreview(*shown, highlighting, palette, fontSize);
        },
        item->id(), anchor);
}
