#pragma once

#include "platform/KeyboardMap.h"

#include <QHash>
#include <QList>

struct _XCBKeySymbols;
class X11Connection;

// The X server's keyboard and modifier mappings, read once and again after every
// MappingNotify, so no event handler has to ask the server about a key.
class X11KeyboardMap final : public KeyboardMap
{
public:
    explicit X11KeyboardMap(X11Connection &connection);
    ~X11KeyboardMap() override;
    X11KeyboardMap(const X11KeyboardMap &) = delete;
    X11KeyboardMap &operator=(const X11KeyboardMap &) = delete;

    std::optional<quint32> baseKeysym(quint32 keycode) const override;

    // The modifier a key sets, in the shortcut model's flags (Shift 0x20000, Control
    // 0x40000, Option 0x80000 for Alt and Meta, Command 0x100000 for Super and Hyper);
    // 0 for every other key, Caps Lock and NumLock included.
    quint64 modifierFlagOf(quint8 keycode) const { return m_modifierFlags.value(keycode); }
    // Whether the key is in the server's modifier map at all (Caps Lock and NumLock are).
    bool isModifierKey(quint8 keycode) const { return m_modifierFlags.contains(keycode); }
    // The flags of the modifier keys that are down right now (one request to the server).
    quint64 heldModifierFlags(QList<quint8> *heldKeycodes = nullptr) const;

    void refresh();

private:
    void handleEvent(const void *event);

    X11Connection &m_connection;
    _XCBKeySymbols *m_symbols = nullptr;
    int m_handlerId = 0;
    QHash<quint8, quint64> m_modifierFlags;
};
