#include "shell/StatusItem.h"

#include "shell/AppIcon.h"

#include <QSystemTrayIcon>

StatusItem::StatusItem(QObject *parent)
    : QObject(parent)
    , m_menu(std::make_unique<StatusMenu>())
{
    m_icon = new QSystemTrayIcon(AppIcon::icon(), this);
    m_icon->setToolTip(QStringLiteral("Tindlewick"));
    m_icon->setContextMenu(m_menu.get());
    connect(m_menu.get(), &StatusMenu::openRequested, this, &StatusItem::openRequested);
    connect(m_menu.get(), &StatusMenu::settingsRequested, this, &StatusItem::settingsRequested);
    connect(m_menu.get(), &StatusMenu::updatesRequested, this, &StatusItem::updatesRequested);
    connect(m_menu.get(), &StatusMenu::quitRequested, this, &StatusItem::quitRequested);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // The context menu opens by itself on a right click; anything else toggles.
        if (reason != QSystemTrayIcon::Context)
            Q_EMIT clicked();
    });
    m_icon->show();
}

StatusItem::~StatusItem() = default;

bool StatusItem::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QRect StatusItem::geometry() const
{
    return m_icon->isVisible() ? m_icon->geometry() : QRect();
}

void StatusItem::showMessage(const QString &title, const QString &message)
{
    m_icon->showMessage(title, message, QSystemTrayIcon::Warning, 10000);
}
