#pragma once

#include "model/AppSettings.h"

#include <QObject>

#include <functional>

class GlobalInputMonitor;

// The second way of opening the panel: the chosen modifier pressed twice, alone, with
// less than 0.4 s from press to press. It watches every modifier change on the desktop
// and never alters or swallows an event. Main thread only.
class DoubleTapService final : public QObject
{
    Q_OBJECT
public:
    // onDoubleTap runs on the main thread after each recognised double tap.
    DoubleTapService(GlobalInputMonitor &monitor, std::function<void()> onDoubleTap, double threshold = 0.4,
        QObject *parent = nullptr);
    ~DoubleTapService() override;

    void start();
    void stop();
    bool isRunning() const { return m_running; }
    // Takes the modifier from the settings and clears the count.
    void updateTargetModifier(const AppSettings &settings);

    // One change of the held modifiers, in the shortcut model's flag encoding, at the time
    // (in seconds) the user made it.
    void handleFlagsChanged(quint64 flags, double timestamp);

    AppSettings::DoubleTapModifier targetModifier() const { return m_targetModifier; }
    void setTargetModifier(AppSettings::DoubleTapModifier modifier) { m_targetModifier = modifier; }
    double lastModifierDownTime() const { return m_lastModifierDownTime; }
    int tapCount() const { return m_tapCount; }
    bool isModifierDown() const { return m_isModifierDown; }
    void resetTapState();

private:
    GlobalInputMonitor &m_monitor;
    std::function<void()> m_onDoubleTap;
    double m_doubleTapThreshold;
    QMetaObject::Connection m_connection;
    bool m_running = false;
    double m_lastModifierDownTime = 0;
    int m_tapCount = 0;
    bool m_isModifierDown = false;
    AppSettings::DoubleTapModifier m_targetModifier = AppSettings::DoubleTapModifier::command;
};
