#pragma once

#include <QHash>
#include <QtGlobal>

#include <optional>

// The desktop's keyboard layout as the key codes of key events meet it: which key symbol
// a key gives on its own, with no modifier held. Shortcuts are made from that symbol, so
// Shift+1 stays Shift+1 instead of becoming "!".
class KeyboardMap
{
public:
    virtual ~KeyboardMap() = default;

    // The symbol of the key's first level; nothing for a code no key has.
    virtual std::optional<quint32> baseKeysym(quint32 keycode) const = 0;

    // The layout of the X display this process runs on; nullptr without one.
    static const KeyboardMap *system();
};

// A layout in memory for tests: key code to the symbol of its first level.
class FakeKeyboardMap final : public KeyboardMap
{
public:
    QHash<quint32, quint32> symbols;

    std::optional<quint32> baseKeysym(quint32 keycode) const override
    {
        if (const auto it = symbols.constFind(keycode); it != symbols.cend())
            return *it;
        return std::nullopt;
    }
};
