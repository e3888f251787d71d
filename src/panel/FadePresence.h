#pragma once

#include "common/AnimatedValue.h"

#include <QObject>

// Whether a passing view (the toast, a banner) is on screen and how opaque: it fades in when
// shown and out when hidden, and stays present until the fade out has ended. Main thread only.
class FadePresence final : public QObject
{
    Q_OBJECT

public:
    FadePresence(Clock &clock, QObject *parent = nullptr);

    void show(Clock::Duration duration, TimingCurve curve = TimingCurve::easeInOut());
    void hide(Clock::Duration duration, TimingCurve curve = TimingCurve::easeInOut());

    bool isShown() const { return m_shown; }
    // Shown, or still fading out.
    bool isPresent() const { return m_shown || m_opacity.value() > 0.0; }
    double opacity() const { return m_opacity.value(); }

Q_SIGNALS:
    // A frame of a fade, or the view came or went.
    void changed();

private:
    AnimatedValue m_opacity;
    bool m_shown = false;
};
