#pragma once

#include "KeyboardShortcuts/Key.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QKeySequence>
#include <QString>

#include <optional>

class KeyboardMap;
class QAction;
class QKeyEvent;
class QMenu;

namespace KeyboardShortcuts {

// Modifier flags of a key event, in the event encoding the stored shortcuts were made
// with. Only the five bits a shortcut keeps have a meaning here.
namespace ModifierFlag {
inline constexpr quint64 capsLock = 0x10000;
inline constexpr quint64 shift = 0x20000;
inline constexpr quint64 control = 0x40000;
inline constexpr quint64 option = 0x80000;
inline constexpr quint64 command = 0x100000;
inline constexpr quint64 numericPad = 0x200000;
inline constexpr quint64 function = 0x800000;
} // namespace ModifierFlag

// The modifier mask a shortcut stores (the "carbonModifiers" of its JSON form).
namespace CarbonModifier {
inline constexpr qint64 command = 0x100;
inline constexpr qint64 shift = 0x200;
inline constexpr qint64 option = 0x800;
inline constexpr qint64 control = 0x1000;
inline constexpr qint64 function = 0x20000;
} // namespace CarbonModifier

// Bit by bit between the two encodings; every other bit is dropped, and only the low
// 32 bits of the input are read.
quint64 toModifierFlags(qint64 carbonModifiers);
qint64 toCarbonModifiers(quint64 modifierFlags);
// The symbols of the set flags, always in the order Control, Option, Shift, Command, Function.
QString modifierSymbols(quint64 modifierFlags);
// The character the key produces without modifiers; nothing for special keys and keys
// that produce no single character.
std::optional<QString> keyCharacter(qint64 keyCode);

// A key combination: a key code and a modifier mask, stored as
// {"carbonKeyCode":49,"carbonModifiers":4096} (Control+Space).
struct Shortcut
{
    qint64 carbonKeyCode = 0;
    qint64 carbonModifiers = 0;

    // Keeps only the five modifier bits.
    static Shortcut fromCarbon(qint64 keyCode, qint64 carbonModifiers);
    static Shortcut fromKey(Key key, quint64 modifierFlags);
    // A key press or release of this app; the Function flag is never kept. The key is read
    // from the event's X key code through the keyboard map, as the key gives it unshifted,
    // so Shift+1 is Shift+1 and not "!"; without a key code or a map, from Qt's key. Nothing
    // for other events and keys without a code.
    static std::optional<Shortcut> fromKeyEvent(const QKeyEvent &event);
    static std::optional<Shortcut> fromKeyEvent(const QKeyEvent &event, const KeyboardMap *keyboardMap);
    // An X key code with modifier flags, the key read through the keyboard map as it is
    // unshifted; nothing without a map or for codes without a key here.
    static std::optional<Shortcut> fromKeyCode(
        quint32 keycode, quint64 modifierFlags, const KeyboardMap *keyboardMap);
    // An X key symbol with an X modifier state (Shift 1, Control 4, Mod1 8, Mod4 64; Lock and
    // NumLock are ignored); nothing for symbols without a key code here.
    static std::optional<Shortcut> fromX11(quint32 keysym, quint32 state);

    Key key() const { return Key { carbonKeyCode }; }
    quint64 modifiers() const { return toModifierFlags(carbonModifiers); }

    // The compact symbol text of the stored form's origin: modifier symbols, then the key
    // ("⌃Space", "⌥⇧⌘K").
    QString description() const;
    // What people read: the combination as this desktop writes it, Qt's native text
    // ("Ctrl+Space", "Ctrl+Alt+K", "Meta+V"). Used in the recorder, menus and messages.
    QString nativeText() const;
    // The key as a menu item shows it; nothing for keypad keys and keys without a character.
    std::optional<QString> menuKeyEquivalent() const;
    // The same combination as Qt's menus and shortcuts take it (Command is Meta); empty
    // when the key has no Qt counterpart.
    QKeySequence keySequence() const;

    // The compact JSON text, members in the order carbonKeyCode, carbonModifiers.
    QByteArray toJson() const;
    // Both members must be integers; other members are ignored and the mask is kept as stored.
    static std::optional<Shortcut> fromJson(const QByteArray &json);

    // What a global grab of the combination needs; nothing when the key or a modifier has
    // no X counterpart (the Function key has none).
    std::optional<quint32> x11KeySymbol() const;
    std::optional<quint32> x11Modifiers() const;
    // Whether a person can press the combination here: its key is one of the keyboard's and
    // each of its modifiers has an X counterpart. Extra bits of a stored mask are no modifiers
    // and do not count.
    bool canBePressedHere() const { return x11KeySymbol() && x11Modifiers(); }

    friend bool operator==(const Shortcut &, const Shortcut &) = default;
};

inline size_t qHash(const Shortcut &shortcut, size_t seed = 0)
{
    return qHashMulti(seed, shortcut.carbonKeyCode, shortcut.carbonModifiers);
}

// The first action of the menu tree that already answers to the shortcut, or nullptr.
QAction *menuItemTakingShortcut(const QMenu &menu, const Shortcut &shortcut);

} // namespace KeyboardShortcuts
