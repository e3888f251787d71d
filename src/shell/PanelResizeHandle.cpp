#include "shell/PanelResizeHandle.h"

#include "panel/PanelController.h"
#include "shell/ClipboardPanel.h"

#include <QMouseEvent>
#include <QWindow>

using Geometry = PanelResizeGeometry;

PanelResizeHandle::PanelResizeHandle(Handle handle, ClipboardPanel &panel, QWidget *parent)
    : QWidget(parent)
    , m_handle(handle)
    , m_panel(&panel)
    , m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(ClipboardPanel::resizeSettleTime);
    connect(m_settle, &QTimer::timeout, this, &PanelResizeHandle::endLiveResize);
    setObjectName(QStringLiteral("PanelResizeHandle"));
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setCursor(cursorShape(handle));
}

Qt::CursorShape PanelResizeHandle::cursorShape(Handle handle)
{
    switch (handle) {
    case Handle::top:
    case Handle::bottom:
        return Qt::SizeVerCursor;
    case Handle::left:
    case Handle::right:
        return Qt::SizeHorCursor;
    case Handle::topLeft:
    case Handle::bottomRight:
        return Qt::SizeFDiagCursor;
    case Handle::topRight:
    case Handle::bottomLeft:
        return Qt::SizeBDiagCursor;
    }
    return Qt::ArrowCursor;
}

Qt::Edges PanelResizeHandle::systemEdges(Handle handle)
{
    Qt::Edges edges;
    if (Geometry::touchesTop(handle))
        edges |= Qt::TopEdge;
    if (Geometry::touchesBottom(handle))
        edges |= Qt::BottomEdge;
    if (Geometry::touchesLeft(handle))
        edges |= Qt::LeftEdge;
    if (Geometry::touchesRight(handle))
        edges |= Qt::RightEdge;
    return edges;
}

void PanelResizeHandle::place(const QRectF &body)
{
    const QRectF frame = Geometry::handleFrame(m_handle, body.size()).translated(body.topLeft());
    setGeometry(frame.toAlignedRect());
    if (Geometry::isCorner(m_handle)) {
        // Only the triangle at the panel's corner is the handle: a click across its diagonal
        // reaches the content.
        setMask(QRegion(Geometry::trianglePath(m_handle, size()).toPolygon(), Qt::WindingFill));
    }
    raise();
}

void PanelResizeHandle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_panel)
        return QWidget::mousePressEvent(event);
    if (isArmed() || m_settle->isActive()) {
        finish();
        endLiveResize();
    }
    m_initialMouseLocation = event->globalPosition();
    m_initialFrame = m_panel->frame();
    m_panel->windowWillStartLiveResize();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool ownDrag = modifiers.testFlag(Qt::AltModifier)
        || (Geometry::isCorner(m_handle) && modifiers.testFlag(Qt::ShiftModifier));
    QWindow *handle = window()->windowHandle();
    m_systemResize = !ownDrag && handle && handle->startSystemResize(systemEdges(m_handle));
    event->accept();
}

void PanelResizeHandle::mouseMoveEvent(QMouseEvent *event)
{
    if (!isArmed() || !m_panel)
        return;
    if (m_systemResize) {
        // The window manager's resize ended without a release reaching us.
        if (event->buttons() == Qt::NoButton)
            finish();
        return;
    }
    if (!(event->buttons() & Qt::LeftButton))
        return finish();
    const QPointF delta = event->globalPosition() - *m_initialMouseLocation;
    Geometry::Modifiers modifiers;
    modifiers.symmetric = event->modifiers().testFlag(Qt::AltModifier);
    modifiers.keepAspect = event->modifiers().testFlag(Qt::ShiftModifier);
    m_panel->setFrame(Geometry::resizedFrame(m_handle, *m_initialFrame, delta, modifiers,
        m_panel->minimumFrameSize(), m_panel->maximumFrameSize()));
}

void PanelResizeHandle::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isArmed())
        finish();
}

void PanelResizeHandle::finish()
{
    const bool system = m_systemResize;
    m_initialMouseLocation.reset();
    m_initialFrame.reset();
    m_systemResize = false;
    if (!system)
        return endLiveResize();
    // The size is saved and the tabs decided once the window manager's last size has arrived.
    window()->installEventFilter(this);
    m_settle->start();
}

void PanelResizeHandle::endLiveResize()
{
    m_settle->stop();
    window()->removeEventFilter(this);
    if (m_panel && m_panel->panelController()->inLiveResize())
        m_panel->windowDidEndLiveResize();
}

bool PanelResizeHandle::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window() && event->type() == QEvent::Resize && m_settle->isActive())
        m_settle->start();
    return QWidget::eventFilter(watched, event);
}
