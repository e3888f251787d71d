#include "items/HoverPreviewTimer.h"

HoverPreviewTimer::HoverPreviewTimer(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{ }

void HoverPreviewTimer::pointerOver(const ClipboardItemPtr &item, const QRectF &anchor)
{
    if (!item)
        return pointerLeft();
    m_anchor = anchor;
    if (item == m_item)
        return;
    m_item = item;
    const quint64 generation = ++m_generation;
    if (m_shown || (m_warmUntil && m_clock.now() < *m_warmUntil)) {
        show();
        return;
    }
    m_clock.runAfter(hoverDelay, this, [this, generation] {
        if (generation == m_generation)
            show();
    });
}

void HoverPreviewTimer::pointerLeft()
{
    if (!m_item)
        return;
    m_item.reset();
    ++m_generation;
    if (!m_shown)
        return;
    m_shown = false;
    m_warmUntil = m_clock.now() + warmTime;
    Q_EMIT scheduleHideRequested();
}

void HoverPreviewTimer::cancel()
{
    const bool wasShown = m_shown;
    m_item.reset();
    ++m_generation;
    m_shown = false;
    m_warmUntil.reset();
    if (wasShown)
        Q_EMIT hideRequested();
}

void HoverPreviewTimer::show()
{
    if (!m_item)
        return;
    m_shown = true;
    m_warmUntil.reset();
    Q_EMIT showRequested(m_item, m_anchor);
}
