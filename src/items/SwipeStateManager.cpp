#include "items/SwipeStateManager.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

SwipeStateManager::SwipeStateManager(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_offset(clock, 0.0)
{
    connect(&m_offset, &AnimatedValue::valueChanged, this, &SwipeStateManager::changed);
}

SwipeStateManager &SwipeStateManager::shared()
{
    static SwipeStateManager *manager = new SwipeStateManager(Clock::system(), QCoreApplication::instance());
    return *manager;
}

void SwipeStateManager::startMonitoring()
{
    if (m_monitoring || !QCoreApplication::instance())
        return;
    m_monitoring = true;
    QCoreApplication::instance()->installEventFilter(this);
}

double SwipeStateManager::offset(const Row &row) const
{
    return m_row == row || m_closing == row ? m_offset.value() : 0.0;
}

void SwipeStateManager::swipe(const Row &row, double dx)
{
    if (m_row != row) {
        closeOpenRow();
        m_row = row;
        m_closing.reset();
        m_offset.setValue(0.0);
    }
    m_offset.setValue(std::clamp(m_offset.value() + dx, -actionWidth, 0.0));
}

void SwipeStateManager::endSwipe()
{
    if (!m_row)
        return;
    if (m_offset.value() < -actionWidth / 2)
        m_offset.animateTo(-actionWidth, closeDuration, TimingCurve::easeOut());
    else
        closeOpenRow();
}

void SwipeStateManager::closeOpenRow()
{
    if (!m_row)
        return;
    m_closing = m_row;
    m_row.reset();
    m_actionArea = QRect();
    m_offset.animateTo(0.0, closeDuration, TimingCurve::easeOut());
    const quint64 generation = ++m_generation;
    m_clock.runAfter(closeDuration, this, [this, generation] {
        if (generation != m_generation)
            return;
        m_closing.reset();
        Q_EMIT changed();
    });
}

bool SwipeStateManager::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_row || !watched->isWidgetType())
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<const QMouseEvent *>(event);
        if (!m_actionArea.contains(press->globalPosition().toPoint()))
            closeOpenRow();
    } else if (event->type() == QEvent::Wheel) {
        const QPoint delta = static_cast<const QWheelEvent *>(event)->angleDelta();
        if (std::abs(delta.y()) > std::abs(delta.x()))
            closeOpenRow();
    }
    return false;
}
