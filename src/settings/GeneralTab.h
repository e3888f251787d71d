#pragma once

#include "settings/SettingsForm.h"

#include <functional>
#include <optional>

class AppSettings;
class QCheckBox;
class QPushButton;

// The "General" tab: starting at login (the desktop's autostart entry), where updates come
// from, automatic code detection, link cleaning and the version line. Every switch writes at
// once; the login switch always shows whether the autostart entry is there, and says under
// it why the last click could not change that.
class GeneralTab final : public SettingsForm
{
    Q_OBJECT
public:
    explicit GeneralTab(AppSettings &settings, QWidget *parent = nullptr);

    // What "Check for Updates..." does; nothing until it is set.
    void setCheckForUpdatesAction(std::function<void()> action) { m_checkForUpdates = std::move(action); }

    // "Tindlewick v1.0 (7)"; nothing when either part is unknown.
    static std::optional<QString> versionLine(
        const std::optional<QString> &shortVersion, const std::optional<QString> &build);

    QCheckBox *launchAtLoginSwitch() const { return m_launchAtLogin; }
    // Why the entry could not be written or removed; hidden while empty.
    QLabel *launchAtLoginError() const { return m_launchAtLoginError; }
    QPushButton *checkForUpdatesButton() const { return m_checkForUpdatesButton; }
    QCheckBox *detectCodeSwitch() const { return m_detectCode; }
    QCheckBox *removeTrackingParametersSwitch() const { return m_removeTracking; }
    // Nothing when the running program has no version.
    QLabel *versionLabel() const { return m_version; }

    // Reads the autostart entry again.
    void refreshLaunchAtLogin();

protected:
    void showEvent(QShowEvent *event) override;

private:
    AppSettings &m_settings;
    std::function<void()> m_checkForUpdates;
    QCheckBox *m_launchAtLogin = nullptr;
    QLabel *m_launchAtLoginError = nullptr;
    QPushButton *m_checkForUpdatesButton = nullptr;
    QCheckBox *m_detectCode = nullptr;
    QCheckBox *m_removeTracking = nullptr;
    QLabel *m_version = nullptr;
};
