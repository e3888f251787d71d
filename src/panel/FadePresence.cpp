#include "panel/FadePresence.h"

FadePresence::FadePresence(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_opacity(clock, 0.0)
{
    connect(&m_opacity, &AnimatedValue::valueChanged, this, &FadePresence::changed);
}

void FadePresence::show(Clock::Duration duration, TimingCurve curve)
{
    if (m_shown)
        return;
    m_shown = true;
    m_opacity.animateTo(1.0, duration, curve);
    Q_EMIT changed();
}

void FadePresence::hide(Clock::Duration duration, TimingCurve curve)
{
    if (!m_shown)
        return;
    m_shown = false;
    m_opacity.animateTo(0.0, duration, curve);
    Q_EMIT changed();
}
