#pragma once

#include "KeyboardShortcuts/Name.h"

#include <QObject>
#include <QPointer>

#include <functional>

class AppSettings;
class HighlightCacheService;
class ModelContext;
class QWindow;
class SettingsView;
class Workspace;

namespace KeyboardShortcuts {
class ShortcutCenter;
} // namespace KeyboardShortcuts

// The settings window: made when it is asked for and gone when it is closed, brought to the
// front when it is open already, and kept above other windows (as is any window of the app
// that is a settings window by its name or title). It has the desktop's window keys: Control+W
// closes it, Control+Q quits the app. Also says where updates come from, which
// the tray's menu and the General tab ask. Main thread only.
class SettingsWindowController final : public QObject
{
    Q_OBJECT
public:
    struct Dependencies
    {
        AppSettings &settings;
        // The context whose items the History tab counts and clears (the main one).
        ModelContext &mainContext;
        KeyboardShortcuts::ShortcutCenter &shortcuts;
        // The shortcut that opens the panel, which the Hotkey tab records.
        const KeyboardShortcuts::Name &togglePanel;
        Workspace &workspace;
        // Its engine goes after the history was cleared.
        HighlightCacheService &highlights;
        // "Quit Tindlewick" of the menus, which Control+Q in the window asks for too.
        std::function<void()> quit;
    };

    explicit SettingsWindowController(Dependencies dependencies, QObject *parent = nullptr);
    ~SettingsWindowController() override;

    // Shows the settings window, made anew when it was closed, and brings it to the front.
    void showSettingsWindow();
    SettingsView *settingsWindow() const;

    // Says where updates come from (over the settings window when it is open).
    static void checkForUpdates();
    // Whether a window that became active is a settings window, to be kept above others.
    static bool shouldElevateSettingsWindow(const QString &identifier, const QString &title);

private:
    SettingsView *makeSettingsWindow();
    void activateOnceShown(SettingsView *window);
    void elevateSettingsWindow(QWindow *window);

    Dependencies m_dependencies;
    QPointer<SettingsView> m_settingsWindow;
};
