#include "panel/WindowDragGesture.h"

#include <cmath>

double WindowDragGesture::reservedStripWidth(bool isPinned, bool showClearButton)
{
    return (isPinned ? 86.0 : 50.0) + (showClearButton ? 30.0 : 0.0);
}

bool WindowDragGesture::takesPoint(double x, double stripWidth, bool isPinned, bool showClearButton)
{
    return x <= stripWidth - reservedStripWidth(isPinned, showClearButton);
}

void WindowDragGesture::press(QPointF windowPoint)
{
    m_pressedAt = windowPoint;
    m_isDragging = false;
}

bool WindowDragGesture::move(QPointF windowPoint)
{
    if (!m_pressedAt || m_isDragging)
        return false;
    const QPointF moved = windowPoint - *m_pressedAt;
    if (std::hypot(moved.x(), moved.y()) <= dragThreshold)
        return false;
    m_isDragging = true;
    return true;
}

bool WindowDragGesture::release()
{
    const bool click = m_pressedAt && !m_isDragging;
    m_pressedAt.reset();
    m_isDragging = false;
    return click;
}
