#include "settings/GeneralTab.h"

#include "model/AppSettings.h"
#include "platform/LaunchAtLogin.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>

namespace {

std::optional<QString> runningVersion()
{
    // The package's version is both the release and the build here.
    const QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        return std::nullopt;
    return version;
}

} // namespace

GeneralTab::GeneralTab(AppSettings &settings, QWidget *parent)
    : SettingsForm(parent)
    , m_settings(settings)
{
    SettingsSection *startup = addSection(QStringLiteral("Startup"));
    m_launchAtLogin = new QCheckBox(QStringLiteral("Launch at Login"), startup->box());
    startup->addRow(m_launchAtLogin);
    m_launchAtLoginError = errorLabel(startup->box());
    startup->addRow(m_launchAtLoginError);
    connect(m_launchAtLogin, &QCheckBox::clicked, this, [this](bool enabled) {
        const std::optional<QString> error = m_settings.setLaunchAtLogin(enabled);
        showMessage(m_launchAtLoginError,
            error ? QStringLiteral("Launch at Login could not be turned %1: %2")
                        .arg(enabled ? QStringLiteral("on") : QStringLiteral("off"), *error)
                  : QString());
        // A failed write leaves the entry as it was: the switch shows what is there.
        refreshLaunchAtLogin();
    });

    // No updater here: a newer version is a newer package (or build) that the user installs.
    SettingsSection *updates = addSection(QStringLiteral("Updates"),
        QStringLiteral("Tindlewick does not update itself: install a newer package or build to update it."));
    m_checkForUpdatesButton = new QPushButton(QStringLiteral("Check for Updates..."), updates->box());
    auto *updatesRow = new QHBoxLayout;
    updatesRow->addWidget(m_checkForUpdatesButton);
    updatesRow->addStretch(1);
    updates->addRow(updatesRow);
    connect(m_checkForUpdatesButton, &QPushButton::clicked, this, [this] {
        if (m_checkForUpdates)
            m_checkForUpdates();
    });

    SettingsSection *detection = addSection(
        QStringLiteral("Code Detection"), QStringLiteral("Adds detected code snippets to the Code column."));
    m_detectCode = new QCheckBox(QStringLiteral("Auto-detect programming languages"), detection->box());
    detection->addRow(m_detectCode);
    connect(m_detectCode, &QCheckBox::clicked, &m_settings, &AppSettings::setDetectCode);
    connect(&m_settings, &AppSettings::detectCodeChanged, m_detectCode, &QCheckBox::setChecked);

    SettingsSection *links = addSection(QStringLiteral("Link Cleaning"),
        QStringLiteral("Automatically strips tracking parameters (e.g., fbclid, utm_) from copied links."));
    m_removeTracking = new QCheckBox(QStringLiteral("Remove tracking parameters"), links->box());
    links->addRow(m_removeTracking);
    connect(m_removeTracking, &QCheckBox::clicked, &m_settings, &AppSettings::setRemoveTrackingParameters);
    connect(
        &m_settings, &AppSettings::removeTrackingParametersChanged, m_removeTracking, &QCheckBox::setChecked);

    const std::optional<QString> version = runningVersion();
    if (const std::optional<QString> line = versionLine(version, version)) {
        m_version = secondaryLabel(*line, 0.85);
        addBareRow(m_version);
    }

    m_detectCode->setChecked(m_settings.detectCode());
    m_removeTracking->setChecked(m_settings.removeTrackingParameters());
    refreshLaunchAtLogin();
}

std::optional<QString> GeneralTab::versionLine(
    const std::optional<QString> &shortVersion, const std::optional<QString> &build)
{
    if (!shortVersion || !build)
        return std::nullopt;
    return QStringLiteral("Tindlewick v") + *shortVersion + QStringLiteral(" (") + *build + QLatin1Char(')');
}

void GeneralTab::refreshLaunchAtLogin()
{
    m_launchAtLogin->setChecked(LaunchAtLogin::isEnabled());
}

void GeneralTab::showEvent(QShowEvent *event)
{
    SettingsForm::showEvent(event);
    refreshLaunchAtLogin();
}
