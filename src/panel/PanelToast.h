#pragma once

#include "panel/FadePresence.h"

#include <QObject>
#include <QString>

#include <optional>

// The short message at the bottom of the panel ("File was deleted"). It leaves two seconds
// after it appeared, whatever text it shows by then. It rises in while fading in over 0.2 s and
// fades out over 0.3 s when its time is up; the text stays on screen until it has faded.
// Main thread only.
class PanelToast final : public QObject
{
    Q_OBJECT

public:
    explicit PanelToast(Clock &clock, QObject *parent = nullptr);

    static constexpr Clock::Duration appearDuration { 200 };
    static constexpr Clock::Duration leaveDuration { 300 };

    std::optional<QString> message() const { return m_message; }
    void setMessage(const std::optional<QString> &message);

    // What the toast shows now, while it is on screen or still fading out.
    std::optional<QString> shownText() const { return m_presence.isPresent() ? m_shownText : std::nullopt; }
    double opacity() const { return m_presence.opacity(); }

Q_SIGNALS:
    void messageChanged();
    // A frame of its fade in or out.
    void presentationChanged();

private:
    void remove();

    Clock &m_clock;
    std::optional<QString> m_message;
    std::optional<QString> m_shownText;
    FadePresence m_presence;
    // Each appearance has its own number; the removal of an earlier one does nothing.
    quint64 m_appearance = 0;
};
