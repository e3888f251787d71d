#pragma once

#include "KeyboardShortcuts/Name.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <functional>

class UserDefaults;

namespace KeyboardShortcuts {

class HotKeyCenter;

// Posted after a name's stored shortcut changed; user info "name" holds the raw name.
inline const QString shortcutByNameDidChange = QStringLiteral("KeyboardShortcuts_shortcutByNameDidChange");
// Posted when a recorder starts or stops recording; user info "isActive" (Bool).
inline const QString recorderActiveStatusDidChange
    = QStringLiteral("KeyboardShortcuts_recorderActiveStatusDidChange");

// The shortcuts by name: each name's stored shortcut in the user defaults, the actions
// bound to it, and the grabs held for them. A press runs the actions of every name whose
// stored shortcut, read at that moment, is the one pressed. Main thread only.
class ShortcutCenter final : public QObject
{
    Q_OBJECT
public:
    using Action = std::function<void()>;

    ShortcutCenter(UserDefaults &defaults, HotKeyCenter &hotKeys, QObject *parent = nullptr);

    // The app's instance (installed at start-up); nullptr before.
    static ShortcutCenter *shared();
    static void setShared(ShortcutCenter *center);

    static QString storageKey(const Name &name)
    {
        return QStringLiteral("KeyboardShortcuts_") + name.rawValue;
    }

    // A name comes into use: when it has a default and nothing at all is stored under its
    // key, the default is stored (and grabbed). A stored false keeps the name empty. A stored
    // value that is no shortcut, or one that cannot be pressed here (a hand-edited or damaged
    // settings file), gives way to the default too, and storedShortcutReplaced says so.
    void declare(const Name &name);
    // What the name holds once declared: the stored shortcut when it can be pressed here, none
    // when it was removed, else the default (also for names not declared yet).
    std::optional<Shortcut> declaredShortcut(const Name &name) const;

    std::optional<Shortcut> getShortcut(const Name &name) const;
    // None removes the shortcut: a name with a default stores false, one without loses its key.
    void setShortcut(const std::optional<Shortcut> &shortcut, const Name &name);
    void storeShortcut(const Name &name, const Shortcut &shortcut);
    void reset(const QList<Name> &names);
    void resetAll();
    // Every name with a stored key (without defaults).
    QList<Name> storedNames() const;

    void onKeyDown(const Name &name, Action action);
    void onKeyUp(const Name &name, Action action);
    void removeHandler(const Name &name);
    void removeAllHandlers();

    // Releases and takes again the grabs of the names; their actions stay bound.
    void disable(const QList<Name> &names);
    void enable(const QList<Name> &names);
    bool isShortcutEnabled(const Name &name) const;

    // A listener of every press and release of the name until it is removed again.
    QUuid addEventStream(const Name &name, std::function<void(EventType)> listener);
    void removeEventStream(const QUuid &stream);

    // Set while a recorder records: no action runs, and the grabs are let go so the keys
    // reach the recorder; they are taken again when it ends.
    bool isPaused() const { return m_isPaused; }
    void setIsPaused(bool paused);

    HotKeyCenter &hotKeys() const { return m_hotKeys; }

    // Shortcuts grabbed and not released; a refused grab never enters.
    QSet<Shortcut> registeredShortcuts() const { return m_registeredShortcuts; }

Q_SIGNALS:
    // A grab was refused (another program holds the combination, often an input method).
    void registrationFailed(const KeyboardShortcuts::Shortcut &shortcut, const QString &reason);
    // declare() put the default in place of what was stored; problem says what was wrong with
    // it ("is not a shortcut ("garbage{")").
    void storedShortcutReplaced(const KeyboardShortcuts::Name &name, const QString &problem);

private:
    using HandlerTable = QList<std::pair<Name, QList<Action>>>;
    using StreamTable = QList<std::pair<Name, QList<std::pair<QUuid, std::function<void(EventType)>>>>>;

    bool hasStoredValue(const Name &name) const;
    // What is wrong with the stored value of a name; empty when it is a shortcut that can be
    // pressed here, or nothing, or the false of a removed shortcut.
    QString storedValueProblem(const Name &name) const;
    void handleGrabLost(const Shortcut &shortcut, const QString &reason);
    void registerShortcut(const Shortcut &shortcut);
    void unregisterShortcut(const Shortcut &shortcut);
    void registerIfNeeded(const Name &name);
    void postChange(const Name &name);
    void dispatch(const Shortcut &shortcut, EventType type);
    QSet<Shortcut> shortcutsOf(const HandlerTable &down, const HandlerTable &up) const;
    QSet<Shortcut> shortcutsOfStreams() const;
    static void append(HandlerTable &table, const Name &name, Action action);

    UserDefaults &m_defaults;
    HotKeyCenter &m_hotKeys;
    HandlerTable m_keyDownHandlers;
    HandlerTable m_keyUpHandlers;
    StreamTable m_streams;
    QSet<Shortcut> m_registeredShortcuts;
    bool m_isPaused = false;
};

} // namespace KeyboardShortcuts
