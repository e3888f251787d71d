#pragma once

#include "KeyboardShortcuts/Name.h"

#include <QKeySequence>
#include <QMenu>
#include <QPointer>

#include <optional>

namespace KeyboardShortcuts {
class ShortcutCenter;
}

// The tray icon's menu: "Open Tindlewick", "Settings...", "Check for Updates..." and "Quit
// Tindlewick". It is built anew each time it opens; "Open Tindlewick" shows the shortcut that
// opens the panel, as the desktop writes it, and follows every change of it.
class StatusMenu final : public QMenu
{
    Q_OBJECT
public:
    explicit StatusMenu(QWidget *parent = nullptr);

    // "Open Tindlewick" shows the name's shortcut from now on; without a centre it shows none.
    void setOpenShortcut(KeyboardShortcuts::ShortcutCenter *center, const KeyboardShortcuts::Name &name);
    void rebuild();
    QAction *openAction() const { return m_openAction; }
    // The key "Quit Tindlewick" shows, and answers to wherever the app has the keyboard.
    static QKeySequence quitShortcut();

Q_SIGNALS:
    void openRequested();
    void settingsRequested();
    void updatesRequested();
    void quitRequested();

private:
    QPointer<KeyboardShortcuts::ShortcutCenter> m_shortcuts;
    std::optional<KeyboardShortcuts::Name> m_openShortcut;
    QPointer<QAction> m_openAction;
};
