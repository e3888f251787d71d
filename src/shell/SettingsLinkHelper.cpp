#include "shell/SettingsLinkHelper.h"

#include "common/NotificationCenter.h"
#include "shell/SettingsOpener.h"

#include <QCoreApplication>

SettingsLinkHelper &SettingsLinkHelper::shared()
{
    static SettingsLinkHelper *helper = [] {
        auto *created = new SettingsLinkHelper;
        created->setParent(QCoreApplication::instance());
        return created;
    }();
    return *helper;
}

void SettingsLinkHelper::openSettings(std::optional<int> tab)
{
    // Its own opener first, so a request never goes unheard.
    if (!m_isSetup) {
        m_isSetup = true;
        m_settingsOpener = new SettingsOpener(this);
    }
    NotificationCenter::defaultCenter().post(Notifications::openSettingsRequest);
    if (tab) {
        const int index = *tab;
        m_clock->runAfter(std::chrono::milliseconds(100), this, [index] {
            NotificationCenter::defaultCenter().post(
                Notifications::settingsSelectTab, { { Notifications::tabKey, index } });
        });
    }
}
