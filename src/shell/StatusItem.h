#pragma once

#include "shell/StatusMenu.h"

#include <QObject>
#include <QRect>

#include <memory>

class QSystemTrayIcon;

// The app's icon in the system tray: a left click toggles the panel, the context menu is a
// StatusMenu.
class StatusItem final : public QObject
{
    Q_OBJECT
public:
    explicit StatusItem(QObject *parent = nullptr);
    ~StatusItem() override;

    // Whether a tray is running to show the icon in.
    static bool isAvailable();
    // The icon's place on the screen; empty when it is not shown.
    QRect geometry() const;
    // A short message beside the icon (nothing without a tray).
    void showMessage(const QString &title, const QString &message);

    // The menu as it is built on each opening.
    StatusMenu *menu() const { return m_menu.get(); }
    void rebuildMenu() { m_menu->rebuild(); }
    // "Open Tindlewick" shows and follows the shortcut that opens the panel.
    void setOpenShortcut(KeyboardShortcuts::ShortcutCenter &center, const KeyboardShortcuts::Name &name)
    {
        m_menu->setOpenShortcut(&center, name);
    }

Q_SIGNALS:
    void clicked();
    void openRequested();
    void settingsRequested();
    void updatesRequested();
    void quitRequested();

private:
    QSystemTrayIcon *m_icon = nullptr;
    std::unique_ptr<StatusMenu> m_menu;
};
