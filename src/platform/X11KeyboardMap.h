#pragma once

#include "platform/KeyboardMap.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <functional>

struct _XCBKeySymbols;
class X11Connection;

// The X server's keyboard and modifier mappings, read once and again after every change
// the server announces, so no event handler has to ask the server about a key. Everything in the
// app that turns key codes into symbols or symbols into key codes goes through it.
class X11KeyboardMap final : public KeyboardMap
{
public:
    explicit X11KeyboardMap(X11Connection &connection);
    ~X11KeyboardMap() override;
    X11KeyboardMap(const X11KeyboardMap &) = delete;
    X11KeyboardMap &operator=(const X11KeyboardMap &) = delete;

    std::optional<quint32> baseKeysym(quint32 keycode) const override;
    // Every key code that gives the symbol, each once: the keys that give it unshifted first.
    QList<quint8> keycodesFor(quint32 keysym) const;
    // The modifier bit NumLock sets on this keyboard (usually Mod2); 0 without a NumLock key.
    quint16 numLockMask() const { return m_numLockMask; }

    // The modifier a key sets, in the shortcut model's flags (Shift 0x20000, Control
    // 0x40000, Option 0x80000 for Alt and Meta, Command 0x100000 for Super and Hyper);
    // 0 for every other key, Caps Lock and NumLock included.
    quint64 modifierFlagOf(quint8 keycode) const { return m_modifierFlags.value(keycode); }
    // Whether the key is in the server's modifier map at all (Caps Lock and NumLock are).
    bool isModifierKey(quint8 keycode) const { return m_modifierFlags.contains(keycode); }
    // The flags of the modifier keys that are down right now (one request to the server).
    quint64 heldModifierFlags(QList<quint8> *heldKeycodes = nullptr) const;
    // The modifier keys that are down right now, Caps Lock (a state, not a held key) left out.
    QList<quint8> heldModifierKeys() const;

    void refresh();
    // Called after the mappings were read again because the server's changed.
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    void handleEvent(const void *event);

    X11Connection &m_connection;
    _XCBKeySymbols *m_symbols = nullptr;
    int m_handlerId = 0;
    // The first event code of XKB; 0 when the server's notices come as core MappingNotify.
    quint8 m_xkbEventBase = 0;
    QHash<quint8, quint64> m_modifierFlags;
    // Keys of the modifier map outside its Lock row: keys that are held, not locked.
    QSet<quint8> m_heldKeys;
    quint16 m_numLockMask = 0;
    std::function<void()> m_changed;
    bool m_refreshPending = false;
    // Holds the pending refresh, which goes with the map.
    QObject m_refreshContext;
};
