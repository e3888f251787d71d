#pragma once

#include "panel/PanelResizeGeometry.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <optional>

class ClipboardPanel;

// One of the panel's own resize handles (the panel draws its own body, so it carries its own
// edges): a thin strip along an edge or a triangle in a corner, with the resize cursor. A press
// starts the panel's live resize and a release ends it, so the size is saved and the tab mode
// decided as after any resize. A plain drag is the window manager's own resize (it keeps its
// rules); with Alt the panel grows around its centre and with Shift a corner keeps the ratio,
// which the handle does itself.
class PanelResizeHandle final : public QWidget
{
    Q_OBJECT

public:
    using Handle = PanelResizeGeometry::Handle;

    PanelResizeHandle(Handle handle, ClipboardPanel &panel, QWidget *parent);

    Handle handle() const { return m_handle; }
    // Places the handle for the panel's body, given in the parent's coordinates.
    void place(const QRectF &body);
    // Whether a drag of this handle runs now.
    bool isArmed() const { return m_initialFrame.has_value(); }

    static Qt::CursorShape cursorShape(Handle handle);
    static Qt::Edges systemEdges(Handle handle);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void finish();
    void endLiveResize();

    Handle m_handle;
    QPointer<ClipboardPanel> m_panel;
    std::optional<QPointF> m_initialMouseLocation;
    std::optional<QRectF> m_initialFrame;
    bool m_systemResize = false;
    // After the window manager's resize the last size may still be on its way.
    QTimer *m_settle;
};
