#include "shell/SettingsLinkHelper.h"

#include "common/NotificationCenter.h"
#include "shell/SettingsOpener.h"

#include <QCoreApplication>

SettingsLinkHelper::SettingsLinkHelper(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{ }

SettingsLinkHelper &SettingsLinkHelper::shared()
{
    static SettingsLinkHelper *helper = new SettingsLinkHelper(Clock::system(), QCoreApplication::instance());
    return *helper;
}

void SettingsLinkHelper::setUp()
{
    if (m_isSetup)
        return;
    m_isSetup = true;
    m_settingsOpener = new SettingsOpener(this);
}

void SettingsLinkHelper::openSettings(std::optional<int> tab)
{
    // The opener first, so a request never goes unheard.
    setUp();
    NotificationCenter::defaultCenter().post(Notifications::openSettingsRequest);
    if (tab) {
        const int index = *tab;
        m_clock.runAfter(std::chrono::milliseconds(100), this, [index] {
            NotificationCenter::defaultCenter().post(
                Notifications::settingsSelectTab, { { Notifications::tabKey, index } });
        });
    }
}
