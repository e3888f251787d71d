#pragma once

#include "common/Clock.h"

#include <QObject>
#include <QPointer>

#include <optional>

class SettingsOpener;

// Opens the settings window from anywhere, optionally on a given tab (0 is the first).
// Main thread only.
class SettingsLinkHelper final : public QObject
{
    Q_OBJECT
public:
    static SettingsLinkHelper &shared();

    // Posts "openSettingsRequest" at once and, with a tab, "settingsSelectTab" 0.1 s later so
    // the window is there to receive it.
    void openSettings(std::optional<int> tab = std::nullopt);

    bool isSetup() const { return m_isSetup; }
    // The time of the tab's delay; tests move it by hand (and give the system clock back).
    void setClock(Clock &clock) { m_clock = &clock; }
    SettingsOpener *settingsOpener() const { return m_settingsOpener; }

private:
    SettingsLinkHelper() = default;

    QPointer<SettingsOpener> m_settingsOpener;
    bool m_isSetup = false;
    Clock *m_clock = &Clock::system();
};
