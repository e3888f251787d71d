#pragma once

#include "common/Clock.h"
#include "shell/SettingsOpener.h"

#include <QObject>
#include <QPointer>

#include <optional>

// Opens the settings window from anywhere, optionally on a given tab (0 is the first).
// Main thread only.
class SettingsLinkHelper final : public QObject
{
    Q_OBJECT
public:
    // The tab's delay runs on the clock.
    explicit SettingsLinkHelper(Clock &clock = Clock::system(), QObject *parent = nullptr);

    // The app's helper, on the system clock.
    static SettingsLinkHelper &shared();

    // Makes the hidden opener that hears every request, once for the run; start-up does it,
    // and openSettings() when start-up has not.
    void setUp();
    // Posts "openSettingsRequest" at once and, with a tab, "settingsSelectTab" 0.1 s later so
    // the window is there to receive it.
    void openSettings(std::optional<int> tab = std::nullopt);

    bool isSetup() const { return m_isSetup; }
    SettingsOpener *settingsOpener() const { return m_settingsOpener; }

private:
    Clock &m_clock;
    QPointer<SettingsOpener> m_settingsOpener;
    bool m_isSetup = false;
};
