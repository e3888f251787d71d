#include "panel/MouseMovedDetector.h"

#include <QMouseEvent>
#include <QWindow>

MouseMovedDetector::MouseMovedDetector(QObject *parent)
    : QObject(parent)
{ }

void MouseMovedDetector::setWindow(QWindow *window)
{
    if (m_window == window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (window)
        window->installEventFilter(this);
}

bool MouseMovedDetector::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<const QMouseEvent *>(event);
        if (mouse->buttons() == Qt::NoButton)
            Q_EMIT mouseMoved(mouse->position());
        break;
    }
    case QEvent::Leave:
        Q_EMIT mouseExited();
        break;
    default:
        break;
    }
    return false;
}
