#pragma once

#include <QPointF>

#include <optional>

// A press on the search strip, told apart as a window drag or a click: the drag starts once the
// pointer has moved more than 3 points from where the press began, a release before that is a
// click (which puts the caret at the end of the field under it). The strip leaves its right end
// to the buttons there. Main thread only.
class WindowDragGesture final
{
public:
    static constexpr double dragThreshold = 3.0;

    // The width at the strip's right end that belongs to the controls under it: the menu, the
    // clear button while there is search text, the pin button while the panel is pinned.
    static double reservedStripWidth(bool isPinned, bool showClearButton);
    // Whether a point of the strip (its width given) lies in the part the gesture takes.
    static bool takesPoint(double x, double stripWidth, bool isPinned, bool showClearButton);

    void press(QPointF windowPoint);
    // True exactly once per press: for the move that starts the window drag.
    bool move(QPointF windowPoint);
    // True when the press ends as a click (no drag started); the gesture is idle again.
    bool release();

    bool isPressed() const { return m_pressedAt.has_value(); }
    bool isDragging() const { return m_isDragging; }

private:
    std::optional<QPointF> m_pressedAt;
    bool m_isDragging = false;
};
