#include "panel/PanelToast.h"

#include "common/Clock.h"

using namespace std::chrono_literals;

PanelToast::PanelToast(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_presence(clock)
{
    connect(&m_presence, &FadePresence::changed, this, &PanelToast::presentationChanged);
}

void PanelToast::setMessage(const std::optional<QString> &message)
{
    if (m_message == message)
        return;
    const bool appears = !m_message && message;
    m_message = message;
    if (message)
        m_shownText = message;
    if (appears) {
        const quint64 appearance = ++m_appearance;
        m_presence.show(appearDuration, TimingCurve::easeInOut());
        m_clock.runAfter(2s, this, [this, appearance] {
            if (appearance == m_appearance)
                remove();
        });
    } else if (!message) {
        m_presence.hide(appearDuration, TimingCurve::easeInOut());
    }
    Q_EMIT messageChanged();
}

void PanelToast::remove()
{
    m_message.reset();
    m_presence.hide(leaveDuration, TimingCurve::easeOut());
    Q_EMIT messageChanged();
}
