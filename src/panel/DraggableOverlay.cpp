#include "panel/DraggableOverlay.h"

#include "panel/SearchField.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>

DraggableOverlay::DraggableOverlay(QWidget *strip)
    : QWidget(strip)
{
    setObjectName(QStringLiteral("DraggableOverlay"));
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    strip->installEventFilter(this);
    followStrip();
}

void DraggableOverlay::setButtons(bool showClearButton, bool isPinned)
{
    m_showClearButton = showClearButton;
    m_isPinned = isPinned;
    followStrip();
}

bool DraggableOverlay::takesPoint(QPoint point) const
{
    return rect().contains(point)
        && WindowDragGesture::takesPoint(point.x(), width(), m_isPinned, m_showClearButton);
}

void DraggableOverlay::followStrip()
{
    if (QWidget *strip = parentWidget())
        setGeometry(strip->rect());
    // Clicks outside the mask reach the buttons below.
    const double reserved = WindowDragGesture::reservedStripWidth(m_isPinned, m_showClearButton);
    setMask(QRegion(0, 0, std::max(1, int(width() - reserved) + 1), height()));
    raise();
}

bool DraggableOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget()
        && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        followStrip();
    return QWidget::eventFilter(watched, event);
}

void DraggableOverlay::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_gesture.press(event->scenePosition());
    event->accept();
}

void DraggableOverlay::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    if (m_ownMoveWindowStart) {
        window()->move(*m_ownMoveWindowStart + (event->globalPosition().toPoint() - m_ownMovePointerStart));
        return;
    }
    if (m_gesture.move(event->scenePosition())) {
        // The window manager moves the window from here, with its own rules (edges, screens);
        // one that cannot leaves the move to the panel.
        QWindow *handle = window()->windowHandle();
        if (!handle || !handle->startSystemMove()) {
            m_ownMoveWindowStart = window()->pos();
            m_ownMovePointerStart = event->globalPosition().toPoint();
        }
    }
}

void DraggableOverlay::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_ownMoveWindowStart.reset();
    if (m_gesture.release())
        focusFieldAt(event->position().toPoint());
}

void DraggableOverlay::focusFieldAt(QPoint point)
{
    QWidget *strip = parentWidget();
    if (!strip)
        return;
    QLineEdit *field = findEditableTextField(strip, mapToParent(point), this);
    if (!field)
        return;
    window()->activateWindow();
    field->setFocus(Qt::MouseFocusReason);
    // After the focus change has run its course (which may select the text).
    QPointer<QLineEdit> weak(field);
    QTimer::singleShot(0, field, [weak] {
        if (!weak)
            return;
        weak->deselect();
        weak->setCursorPosition(int(weak->text().size()));
        if (auto *search = qobject_cast<SearchField *>(weak.data()))
            search->updateCursorColor();
    });
}

QLineEdit *DraggableOverlay::findEditableTextField(QWidget *view, QPoint point, const QWidget *skip)
{
    const QObjectList children = view->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        auto *child = qobject_cast<QWidget *>(*it);
        if (!child || child == skip || !child->isVisible())
            continue;
        const QPoint inChild = child->mapFromParent(point);
        if (!child->rect().contains(inChild))
            continue;
        if (auto *field = qobject_cast<QLineEdit *>(child);
            field && !field->isReadOnly() && field->isEnabled())
            return field;
        if (QLineEdit *found = findEditableTextField(child, inChild, skip))
            return found;
    }
    return nullptr;
}
