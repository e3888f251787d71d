#pragma once

#include "model/AppSettings.h"

#include <QObject>

#include <functional>

class GlobalInputMonitor;

// The second way of opening the panel: the chosen modifier pressed twice, alone, with
// less than 0.4 s from press to press. It watches every key of the desktop and never
// alters or swallows an event; a key that is no modifier ends a series, so Alt+Tab
// pressed twice is no double tap. Main thread only.
class DoubleTapService final : public QObject
{
    Q_OBJECT
public:
    // onDoubleTap runs on the main thread after each recognised double tap.
    DoubleTapService(GlobalInputMonitor &monitor, std::function<void()> onDoubleTap, double threshold = 0.4,
        QObject *parent = nullptr);
    ~DoubleTapService() override;

    // False, with the reason, when the desktop's keys cannot be watched: the service then
    // stays stopped and its owner must keep another way of opening the panel.
    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const { return m_running; }
    // Takes the modifier from the settings and clears the count.
    void updateTargetModifier(const AppSettings &settings);

    // One change of the held modifiers, in the shortcut model's flag encoding, at the time
    // (in seconds) the user made it.
    void handleFlagsChanged(quint64 flags, double timestamp);
    // A key that is no modifier went down: the taps before it were part of a combination.
    void handleOtherKeyDown();

    // The modifier as the desktop writes it ("Alt", "Meta", "Ctrl", "Shift").
    static QString modifierName(AppSettings::DoubleTapModifier modifier);

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
    QMetaObject::Connection m_flagsConnection;
    QMetaObject::Connection m_keyConnection;
    bool m_running = false;
    double m_lastModifierDownTime = 0;
    int m_tapCount = 0;
    bool m_isModifierDown = false;
    AppSettings::DoubleTapModifier m_targetModifier = AppSettings::DoubleTapModifier::command;
};
