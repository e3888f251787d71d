#pragma once

#include "panel/WindowDragGesture.h"

#include <QWidget>

#include <optional>

class QLineEdit;

// Lies over the whole search strip and makes it the handle the panel is dragged by: a press
// that moves more than 3 points hands the window to the window manager's move; a click puts the
// caret at the end of the field under it (activating the panel first when another window is
// active). It leaves the strip's right end, where the buttons and the menu are, to them.
class DraggableOverlay final : public QWidget
{
    Q_OBJECT

public:
    explicit DraggableOverlay(QWidget *strip);

    // Which buttons the strip shows at its right end (they decide how much of it is theirs).
    void setButtons(bool showClearButton, bool isPinned);
    bool takesPoint(QPoint point) const;

    // The frontmost editable field under a point of view (in view's coordinates), searching
    // view's children from the front and, within each, its own children.
    static QLineEdit *findEditableTextField(QWidget *view, QPoint point, const QWidget *skip = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void followStrip();
    void focusFieldAt(QPoint point);

    WindowDragGesture m_gesture;
    // Where a move the window manager could not take began: the window and the pointer.
    std::optional<QPoint> m_ownMoveWindowStart;
    QPoint m_ownMovePointerStart;
    bool m_showClearButton = false;
    bool m_isPinned = false;
};
