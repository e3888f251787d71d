#include "columns/PinnedHeaderFade.h"

PinnedHeaderFade::PinnedHeaderFade(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_opacity(clock, 0.0)
{
    connect(&m_opacity, &AnimatedValue::valueChanged, this, [this](double opacity) {
        if (opacity <= 0.0)
            m_leaving.reset();
        Q_EMIT frame();
    });
}

void PinnedHeaderFade::setHeader(const std::optional<Header> &header, std::optional<AnimationTiming> timing)
{
    if (header == m_header)
        return;
    const bool comesOrGoes = header.has_value() != m_header.has_value();
    if (!header)
        m_leaving = m_header;
    m_header = header;
    if (!comesOrGoes) {
        Q_EMIT frame();
        return;
    }
    const double target = header ? 1.0 : 0.0;
    if (timing)
        m_opacity.animateTo(target, *timing); // a duration of 0 sets it at once
    else
        m_opacity.setValue(target);
}

void PinnedHeaderFade::finish()
{
    if (m_opacity.isRunning())
        m_opacity.setValue(m_opacity.target());
}

std::optional<PinnedHeaderFade::Drawn> PinnedHeaderFade::drawn() const
{
    const double opacity = m_opacity.value();
    if (m_header)
        return Drawn { *m_header, opacity };
    if (m_leaving && opacity > 0.0)
        return Drawn { *m_leaving, opacity };
    return std::nullopt;
}
