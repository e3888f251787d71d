#pragma once

#include "KeyboardShortcuts/Shortcut.h"

#include <QObject>

#include <functional>
#include <map>

class GlobalHotKeys;
struct HotKeyCombination;

namespace KeyboardShortcuts {

// Global hot keys by shortcut: grabs each registered shortcut for the whole desktop and
// turns its presses and releases into the callbacks given at registration. While one of
// the app's own menus is open it holds the keyboard, so the grab cannot fire; the same
// keys are then taken from the menu's key events instead. Main thread only.
class HotKeyCenter final : public QObject
{
    Q_OBJECT
public:
    using Callback = std::function<void(const Shortcut &)>;

    explicit HotKeyCenter(GlobalHotKeys &backend, QObject *parent = nullptr);
    ~HotKeyCenter() override;

    // Grabs the shortcut. A refusal prints "Error registering hotkey <description>: <reason>",
    // keeps nothing and answers false.
    bool registerShortcut(
        const Shortcut &shortcut, Callback onKeyDown, Callback onKeyUp, QString *error = nullptr);
    void unregisterShortcut(const Shortcut &shortcut);
    bool isRegistered(const Shortcut &shortcut) const;

    // The master switch: off releases every grab (registrations are kept), on takes them again.
    bool isEnabled() const { return m_isEnabled; }
    void setIsEnabled(bool enabled);
    // Set while a shortcut recorder records: the grabs are let go, so the keys reach the
    // recorder (the app's own shortcut among them), and are taken again afterwards.
    bool isSuspended() const { return m_isSuspended; }
    void setIsSuspended(bool suspended);
    // Whether the grabs are held now: enabled and not suspended.
    bool holdsGrabs() const { return m_isEnabled && !m_isSuspended; }

    // Whether the desktop or another program already uses the combination. X keeps no list
    // of the shortcuts others hold, so each one is asked for on its own.
    bool isSystemShortcut(const Shortcut &shortcut) const;

    // Key events of an open menu of this app: a registered shortcut runs its callbacks and
    // the event is consumed.
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    // A grab taken again (after the switch or a recorder) was refused; the registration is gone.
    void grabLost(const KeyboardShortcuts::Shortcut &shortcut, const QString &reason);

private:
    struct HotKey
    {
        Shortcut shortcut;
        qint64 id = 0;
        bool grabbed = false;
        bool down = false;
        Callback onKeyDown;
        Callback onKeyUp;
    };

    bool grab(const Shortcut &shortcut, QString *error);
    void ungrab(const Shortcut &shortcut);
    HotKey *hotKeyFor(const HotKeyCombination &combination);
    // The press and the release of a hot key; a press while it is down is a repeat.
    void keyDown(HotKey &hotKey);
    void keyUp(HotKey &hotKey);
    void handlePressed(const HotKeyCombination &combination);
    void handleReleased(const HotKeyCombination &combination);
    void applyGrabs();

    GlobalHotKeys &m_backend;
    std::map<qint64, HotKey> m_hotKeys;
    qint64 m_hotKeyIdCounter = 0;
    bool m_isEnabled = true;
    bool m_isSuspended = false;
};

} // namespace KeyboardShortcuts
