#pragma once

#include <QObject>
#include <QRect>

class QMenu;
class QSystemTrayIcon;

// The app's icon in the system tray: a left click toggles the panel, the context menu
// offers "Open Tindlewick", "Settings...", "Check for Updates..." and "Quit Tindlewick".
// The menu is built anew each time it opens.
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
    QMenu *menu() const { return m_menu; }
    void rebuildMenu();

Q_SIGNALS:
    void clicked();
    void openRequested();
    void settingsRequested();
    void updatesRequested();
    void quitRequested();

private:
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
};
