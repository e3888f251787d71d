#include "shell/SettingsOpener.h"

#include "common/NotificationCenter.h"

namespace {
std::function<void()> &openSettingsAction()
{
    static std::function<void()> action;
    return action;
}
} // namespace

SettingsOpener::SettingsOpener(QObject *parent)
    : QObject(parent)
{
    NotificationCenter::defaultCenter().addObserver(
        Notifications::openSettingsRequest, this, [this](const QVariantMap &) {
            ++m_openCount;
            if (const std::function<void()> &action = openSettingsAction())
                action();
        });
}

void SettingsOpener::setOpenSettingsAction(std::function<void()> action)
{
    openSettingsAction() = std::move(action);
}

bool SettingsOpener::hasOpenSettingsAction()
{
    return bool(openSettingsAction());
}
