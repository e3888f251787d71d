#pragma once

#include "KeyboardShortcuts/Name.h"

#include <QKeySequence>
#include <QObject>

#include <functional>
#include <optional>

class QAction;
class QShortcut;

namespace KeyboardShortcuts {

class ShortcutCenter;

// Keeps a menu item's or a view's key sequence equal to a name's stored shortcut: it
// follows every change of the name, on the next turn of the event loop, and is empty
// while any shortcut recorder records, so a key being recorded triggers nothing. It lives
// as a child of the object it serves; binding that object again replaces it.
class ShortcutBinding final : public QObject
{
    Q_OBJECT
public:
    using Apply = std::function<void(const QKeySequence &sequence)>;

    ShortcutBinding(const Name &name, ShortcutCenter &center, Apply apply, QObject *owner);

    const Name &name() const { return m_name; }
    // The sequence the owner should have now.
    QKeySequence currentSequence() const;

private:
    void update();

    Name m_name;
    ShortcutCenter &m_center;
    Apply m_apply;
    bool m_isRecorderActive = false;
};

// A menu item follows the name's shortcut; no name clears its shortcut and ends following.
void followShortcut(QAction *action, const std::optional<Name> &name, ShortcutCenter &center);
// A view's shortcut follows the name's shortcut.
void followShortcut(QShortcut *shortcut, const std::optional<Name> &name, ShortcutCenter &center);

// Calls the action with every key down and key up of the name for as long as the owner lives.
void onShortcutEvent(
    QObject *owner, const Name &name, ShortcutCenter &center, std::function<void(EventType)> action);
// The same for the events of one type only.
void onShortcutEventOfType(
    QObject *owner, const Name &name, EventType type, ShortcutCenter &center, std::function<void()> action);

} // namespace KeyboardShortcuts
