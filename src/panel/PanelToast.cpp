#include "panel/PanelToast.h"

#include "common/Clock.h"

using namespace std::chrono_literals;

PanelToast::PanelToast(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{ }

void PanelToast::setMessage(const std::optional<QString> &message)
{
    if (m_message == message)
        return;
    const bool appears = !m_message && message;
    m_message = message;
    if (appears) {
        const quint64 appearance = ++m_appearance;
        m_clock.runAfter(2s, this, [this, appearance] {
            if (appearance == m_appearance)
                setMessage(std::nullopt);
        });
    }
    Q_EMIT messageChanged();
}
