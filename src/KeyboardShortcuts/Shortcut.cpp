#include "KeyboardShortcuts/Shortcut.h"

#include "platform/KeyboardMap.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>

#include <array>
#include <cmath>
#include <limits>

namespace KeyboardShortcuts {

namespace {

// X modifier bits (the core protocol's state mask).
constexpr quint32 xShift = 1, xControl = 4, xMod1 = 8, xMod4 = 64;

// One key of the US layout: its code, the X key symbol it produces there, Qt's key, and
// whether Qt reports it with the keypad modifier.
struct KeyRow
{
    qint64 code;
    quint32 keysym;
    int qtKey;
    bool keypad = false;
};

// Mute and the volume keys have X symbols from the XF86 range.
constexpr std::array keyTable = std::to_array<KeyRow>({
    { Key::a, 'a', Qt::Key_A },
    { Key::b, 'b', Qt::Key_B },
    { Key::c, 'c', Qt::Key_C },
    { Key::d, 'd', Qt::Key_D },
    { Key::e, 'e', Qt::Key_E },
    { Key::f, 'f', Qt::Key_F },
    { Key::g, 'g', Qt::Key_G },
    { Key::h, 'h', Qt::Key_H },
    { Key::i, 'i', Qt::Key_I },
    { Key::j, 'j', Qt::Key_J },
    { Key::k, 'k', Qt::Key_K },
    { Key::l, 'l', Qt::Key_L },
    { Key::m, 'm', Qt::Key_M },
    { Key::n, 'n', Qt::Key_N },
    { Key::o, 'o', Qt::Key_O },
    { Key::p, 'p', Qt::Key_P },
    { Key::q, 'q', Qt::Key_Q },
    { Key::r, 'r', Qt::Key_R },
    { Key::s, 's', Qt::Key_S },
    { Key::t, 't', Qt::Key_T },
    { Key::u, 'u', Qt::Key_U },
    { Key::v, 'v', Qt::Key_V },
    { Key::w, 'w', Qt::Key_W },
    { Key::x, 'x', Qt::Key_X },
    { Key::y, 'y', Qt::Key_Y },
    { Key::z, 'z', Qt::Key_Z },
    { Key::zero, '0', Qt::Key_0 },
    { Key::one, '1', Qt::Key_1 },
    { Key::two, '2', Qt::Key_2 },
    { Key::three, '3', Qt::Key_3 },
    { Key::four, '4', Qt::Key_4 },
    { Key::five, '5', Qt::Key_5 },
    { Key::six, '6', Qt::Key_6 },
    { Key::seven, '7', Qt::Key_7 },
    { Key::eight, '8', Qt::Key_8 },
    { Key::nine, '9', Qt::Key_9 },
    { Key::capsLock, 0xffe5, Qt::Key_CapsLock },
    { Key::shift, 0xffe1, Qt::Key_Shift },
    { Key::control, 0xffe3, Qt::Key_Control },
    { Key::option, 0xffe9, Qt::Key_Alt },
    { Key::command, 0xffeb, Qt::Key_Super_L },
    { Key::rightCommand, 0xffec, Qt::Key_Super_R },
    { Key::rightOption, 0xffea, Qt::Key_AltGr },
    { Key::rightControl, 0xffe4, Qt::Key_Control },
    { Key::rightShift, 0xffe2, Qt::Key_Shift },
    { Key::returnKey, 0xff0d, Qt::Key_Return },
    { Key::backslash, '\\', Qt::Key_Backslash },
    { Key::backtick, '`', Qt::Key_QuoteLeft },
    { Key::comma, ',', Qt::Key_Comma },
    { Key::equal, '=', Qt::Key_Equal },
    { Key::minus, '-', Qt::Key_Minus },
    { Key::period, '.', Qt::Key_Period },
    { Key::quote, '\'', Qt::Key_Apostrophe },
    { Key::semicolon, ';', Qt::Key_Semicolon },
    { Key::slash, '/', Qt::Key_Slash },
    { Key::space, ' ', Qt::Key_Space },
    { Key::tab, 0xff09, Qt::Key_Tab },
    { Key::leftBracket, '[', Qt::Key_BracketLeft },
    { Key::rightBracket, ']', Qt::Key_BracketRight },
    { Key::pageUp, 0xff55, Qt::Key_PageUp },
    { Key::pageDown, 0xff56, Qt::Key_PageDown },
    { Key::home, 0xff50, Qt::Key_Home },
    { Key::end, 0xff57, Qt::Key_End },
    { Key::upArrow, 0xff52, Qt::Key_Up },
    { Key::rightArrow, 0xff53, Qt::Key_Right },
    { Key::downArrow, 0xff54, Qt::Key_Down },
    { Key::leftArrow, 0xff51, Qt::Key_Left },
    { Key::escape, 0xff1b, Qt::Key_Escape },
    { Key::deleteKey, 0xff08, Qt::Key_Backspace },
    { Key::deleteForward, 0xffff, Qt::Key_Delete },
    // PC keyboards have Insert where the Help key sits.
    { Key::help, 0xff63, Qt::Key_Insert },
    { Key::mute, 0x1008ff12, Qt::Key_VolumeMute },
    { Key::volumeUp, 0x1008ff13, Qt::Key_VolumeUp },
    { Key::volumeDown, 0x1008ff11, Qt::Key_VolumeDown },
    { Key::f1, 0xffbe, Qt::Key_F1 },
    { Key::f2, 0xffbf, Qt::Key_F2 },
    { Key::f3, 0xffc0, Qt::Key_F3 },
    { Key::f4, 0xffc1, Qt::Key_F4 },
    { Key::f5, 0xffc2, Qt::Key_F5 },
    { Key::f6, 0xffc3, Qt::Key_F6 },
    { Key::f7, 0xffc4, Qt::Key_F7 },
    { Key::f8, 0xffc5, Qt::Key_F8 },
    { Key::f9, 0xffc6, Qt::Key_F9 },
    { Key::f10, 0xffc7, Qt::Key_F10 },
    { Key::f11, 0xffc8, Qt::Key_F11 },
    { Key::f12, 0xffc9, Qt::Key_F12 },
    { Key::f13, 0xffca, Qt::Key_F13 },
    { Key::f14, 0xffcb, Qt::Key_F14 },
    { Key::f15, 0xffcc, Qt::Key_F15 },
    { Key::f16, 0xffcd, Qt::Key_F16 },
    { Key::f17, 0xffce, Qt::Key_F17 },
    { Key::f18, 0xffcf, Qt::Key_F18 },
    { Key::f19, 0xffd0, Qt::Key_F19 },
    { Key::f20, 0xffd1, Qt::Key_F20 },
    { Key::f21, 0xffd2, Qt::Key_F21 },
    { Key::f22, 0xffd3, Qt::Key_F22 },
    { Key::f23, 0xffd4, Qt::Key_F23 },
    { Key::f24, 0xffd5, Qt::Key_F24 },
    { Key::f25, 0xffd6, Qt::Key_F25 },
    { Key::f26, 0xffd7, Qt::Key_F26 },
    { Key::f27, 0xffd8, Qt::Key_F27 },
    { Key::f28, 0xffd9, Qt::Key_F28 },
    { Key::f29, 0xffda, Qt::Key_F29 },
    { Key::f30, 0xffdb, Qt::Key_F30 },
    { Key::f31, 0xffdc, Qt::Key_F31 },
    { Key::f32, 0xffdd, Qt::Key_F32 },
    { Key::f33, 0xffde, Qt::Key_F33 },
    { Key::f34, 0xffdf, Qt::Key_F34 },
    { Key::f35, 0xffe0, Qt::Key_F35 },
    { Key::keypad0, 0xffb0, Qt::Key_0, true },
    { Key::keypad1, 0xffb1, Qt::Key_1, true },
    { Key::keypad2, 0xffb2, Qt::Key_2, true },
    { Key::keypad3, 0xffb3, Qt::Key_3, true },
    { Key::keypad4, 0xffb4, Qt::Key_4, true },
    { Key::keypad5, 0xffb5, Qt::Key_5, true },
    { Key::keypad6, 0xffb6, Qt::Key_6, true },
    { Key::keypad7, 0xffb7, Qt::Key_7, true },
    { Key::keypad8, 0xffb8, Qt::Key_8, true },
    { Key::keypad9, 0xffb9, Qt::Key_9, true },
    { Key::keypadClear, 0xff0b, Qt::Key_Clear, true },
    { Key::keypadDecimal, 0xffae, Qt::Key_Period, true },
    { Key::keypadDivide, 0xffaf, Qt::Key_Slash, true },
    { Key::keypadEnter, 0xff8d, Qt::Key_Enter, true },
    { Key::keypadEquals, 0xffbd, Qt::Key_Equal, true },
    { Key::keypadMinus, 0xffad, Qt::Key_Minus, true },
    { Key::keypadMultiply, 0xffaa, Qt::Key_Asterisk, true },
    { Key::keypadPlus, 0xffab, Qt::Key_Plus, true },
});

// Keypad symbols that X reports while NumLock is off, and the key each belongs to.
constexpr std::array<std::pair<quint32, qint64>, 11> keypadNavigationSymbols { {
    { 0xff9e, Key::keypad0 },
    { 0xff9c, Key::keypad1 },
    { 0xff99, Key::keypad2 },
    { 0xff9b, Key::keypad3 },
    { 0xff96, Key::keypad4 },
    { 0xff9d, Key::keypad5 },
    { 0xff98, Key::keypad6 },
    { 0xff95, Key::keypad7 },
    { 0xff97, Key::keypad8 },
    { 0xff9a, Key::keypad9 },
    { 0xff9f, Key::keypadDecimal },
} };

const KeyRow *rowForCode(qint64 code)
{
    for (const KeyRow &row : keyTable) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

std::optional<qint64> codeForKeysym(quint32 keysym)
{
    if (keysym >= 'A' && keysym <= 'Z')
        keysym += 'a' - 'A';
    for (const KeyRow &row : keyTable) {
        if (row.keysym == keysym)
            return row.code;
    }
    for (const auto &[symbol, code] : keypadNavigationSymbols) {
        if (symbol == keysym)
            return code;
    }
    return std::nullopt;
}

// Keys shown by a symbol rather than by the character they type.
struct SpecialKey
{
    qint64 code;
    const char16_t *symbol;
    const char16_t *menuSymbol; // nullptr: no menu key equivalent
};

constexpr char16_t spaceMarker[] = u"";

const std::array<SpecialKey, 68> &specialKeyTable()
{
    static const std::array<SpecialKey, 68> table { {
        { Key::returnKey, u"\u21A9", u"\u21A9" },
        { Key::deleteKey, u"\u232B", u"\u232B" },
        { Key::deleteForward, u"\u2326", u"\u2326" },
        { Key::end, u"\u2198", u"\u2198" },
        { Key::escape, u"\u238B", u"\u238B" },
        { Key::help, u"?\u20DD", u"?\u20DD" },
        { Key::home, u"\u2196", u"\u2196" },
        { Key::space, spaceMarker, u" " },
        { Key::tab, u"\u21E5", u"\u21E5" },
        { Key::pageUp, u"\u21DE", u"\u21DE" },
        { Key::pageDown, u"\u21DF", u"\u21DF" },
        { Key::upArrow, u"\u2191", u"\u2191" },
        { Key::rightArrow, u"\u2192", u"\u2192" },
        { Key::downArrow, u"\u2193", u"\u2193" },
        { Key::leftArrow, u"\u2190", u"\u2190" },
        { Key::f1, u"F1", u"\uF704" },
        { Key::f2, u"F2", u"\uF705" },
        { Key::f3, u"F3", u"\uF706" },
        { Key::f4, u"F4", u"\uF707" },
        { Key::f5, u"F5", u"\uF708" },
        { Key::f6, u"F6", u"\uF709" },
        { Key::f7, u"F7", u"\uF70A" },
        { Key::f8, u"F8", u"\uF70B" },
        { Key::f9, u"F9", u"\uF70C" },
        { Key::f10, u"F10", u"\uF70D" },
        { Key::f11, u"F11", u"\uF70E" },
        { Key::f12, u"F12", u"\uF70F" },
        { Key::f13, u"F13", u"\uF710" },
        { Key::f14, u"F14", u"\uF711" },
        { Key::f15, u"F15", u"\uF712" },
        { Key::f16, u"F16", u"\uF713" },
        { Key::f17, u"F17", u"\uF714" },
        { Key::f18, u"F18", u"\uF715" },
        { Key::f19, u"F19", u"\uF716" },
        { Key::f20, u"F20", u"\uF717" },
        { Key::f21, u"F21", u"\uF718" },
        { Key::f22, u"F22", u"\uF719" },
        { Key::f23, u"F23", u"\uF71A" },
        { Key::f24, u"F24", u"\uF71B" },
        { Key::f25, u"F25", u"\uF71C" },
        { Key::f26, u"F26", u"\uF71D" },
        { Key::f27, u"F27", u"\uF71E" },
        { Key::f28, u"F28", u"\uF71F" },
        { Key::f29, u"F29", u"\uF720" },
        { Key::f30, u"F30", u"\uF721" },
        { Key::f31, u"F31", u"\uF722" },
        { Key::f32, u"F32", u"\uF723" },
        { Key::f33, u"F33", u"\uF724" },
        { Key::f34, u"F34", u"\uF725" },
        { Key::f35, u"F35", u"\uF726" },
        { Key::keypad0, u"0\u20E3", nullptr },
        { Key::keypad1, u"1\u20E3", nullptr },
        { Key::keypad2, u"2\u20E3", nullptr },
        { Key::keypad3, u"3\u20E3", nullptr },
        { Key::keypad4, u"4\u20E3", nullptr },
        { Key::keypad5, u"5\u20E3", nullptr },
        { Key::keypad6, u"6\u20E3", nullptr },
        { Key::keypad7, u"7\u20E3", nullptr },
        { Key::keypad8, u"8\u20E3", nullptr },
        { Key::keypad9, u"9\u20E3", nullptr },
        { Key::keypadClear, u"\u2612\u20E3", nullptr },
        { Key::keypadDecimal, u".\u20E3", nullptr },
        { Key::keypadDivide, u"/\u20E3", nullptr },
        { Key::keypadEnter, u"\u21A9\u20E3", nullptr },
        { Key::keypadEquals, u"=\u20E3", nullptr },
        { Key::keypadMinus, u"-\u20E3", nullptr },
        { Key::keypadMultiply, u"*\u20E3", nullptr },
        { Key::keypadPlus, u"+\u20E3", nullptr },
    } };
    return table;
}

const SpecialKey *specialKey(qint64 code)
{
    for (const SpecialKey &key : specialKeyTable()) {
        if (key.code == code)
            return &key;
    }
    return nullptr;
}

struct ModifierBits
{
    qint64 carbon;
    quint64 flag;
    quint32 x11; // 0: no X counterpart
    Qt::KeyboardModifier qt;
    const char16_t *symbol;
};

// In display order.
constexpr std::array<ModifierBits, 5> modifierTable { {
    { CarbonModifier::control, ModifierFlag::control, xControl, Qt::ControlModifier, u"\u2303" },
    { CarbonModifier::option, ModifierFlag::option, xMod1, Qt::AltModifier, u"\u2325" },
    { CarbonModifier::shift, ModifierFlag::shift, xShift, Qt::ShiftModifier, u"\u21E7" },
    { CarbonModifier::command, ModifierFlag::command, xMod4, Qt::MetaModifier, u"\u2318" },
    { CarbonModifier::function, ModifierFlag::function, 0, Qt::NoModifier, u"\U0001F310\uFE0E" },
} };

QString capitalized(const QString &text)
{
    return text.isEmpty() ? text : text.left(1).toUpper() + text.mid(1);
}

} // namespace

namespace {

// Bit by bit from one encoding of the table to the other; only the low 32 bits are read.
template <typename From, typename To>
To convertModifiers(From input, From ModifierBits::*from, To ModifierBits::*to)
{
    const auto low = quint32(quint64(input) & 0xffffffffu);
    To output = 0;
    for (const ModifierBits &bits : modifierTable) {
        if (low & quint32(bits.*from))
            output |= bits.*to;
    }
    return output;
}

} // namespace

quint64 toModifierFlags(qint64 carbonModifiers)
{
    return convertModifiers(carbonModifiers, &ModifierBits::carbon, &ModifierBits::flag);
}

qint64 toCarbonModifiers(quint64 modifierFlags)
{
    return convertModifiers(modifierFlags, &ModifierBits::flag, &ModifierBits::carbon);
}

QString modifierSymbols(quint64 modifierFlags)
{
    QString symbols;
    for (const ModifierBits &bits : modifierTable) {
        if (modifierFlags & bits.flag)
            symbols += QString::fromUtf16(bits.symbol);
    }
    return symbols;
}

std::optional<QString> keyCharacter(qint64 keyCode)
{
    if (specialKey(keyCode))
        return std::nullopt;
    const KeyRow *row = rowForCode(keyCode);
    if (!row || row->keysym < 0x20 || row->keysym > 0x7e)
        return std::nullopt;
    return QString(QChar(char16_t(row->keysym)));
}

Shortcut Shortcut::fromCarbon(qint64 keyCode, qint64 carbonModifiers)
{
    return Shortcut { keyCode, toCarbonModifiers(toModifierFlags(carbonModifiers)) };
}

Shortcut Shortcut::fromKey(Key key, quint64 modifierFlags)
{
    return fromCarbon(key.rawValue, toCarbonModifiers(modifierFlags));
}

std::optional<Shortcut> Shortcut::fromKeyEvent(const QKeyEvent &event)
{
    return fromKeyEvent(event, KeyboardMap::system());
}

std::optional<Shortcut> Shortcut::fromKeyEvent(const QKeyEvent &event, const KeyboardMap *keyboardMap)
{
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease)
        return std::nullopt;
    std::optional<qint64> code;
    // On X11 the native scan code is the key code: its first-level symbol names the key
    // whatever modifiers are held.
    if (keyboardMap && event.nativeScanCode() != 0) {
        if (const std::optional<quint32> keysym = keyboardMap->baseKeysym(event.nativeScanCode()))
            code = codeForKeysym(*keysym);
    }
    // The native virtual key is the symbol as typed: exact for keys Shift does not change.
    if (!code && event.nativeVirtualKey() != 0)
        code = codeForKeysym(event.nativeVirtualKey());
    if (!code) {
        const bool keypad = event.modifiers() & Qt::KeypadModifier;
        for (const KeyRow &row : keyTable) {
            if (row.qtKey == event.key() && row.keypad == keypad) {
                code = row.code;
                break;
            }
        }
    }
    if (!code)
        return std::nullopt;
    quint64 flags = 0;
    for (const ModifierBits &bits : modifierTable) {
        if (bits.qt != Qt::NoModifier && (event.modifiers() & bits.qt))
            flags |= bits.flag;
    }
    return fromCarbon(*code, toCarbonModifiers(flags));
}

std::optional<Shortcut> Shortcut::fromKeyCode(
    quint32 keycode, quint64 modifierFlags, const KeyboardMap *keyboardMap)
{
    if (!keyboardMap)
        return std::nullopt;
    const std::optional<quint32> keysym = keyboardMap->baseKeysym(keycode);
    const std::optional<qint64> code = keysym ? codeForKeysym(*keysym) : std::nullopt;
    if (!code)
        return std::nullopt;
    return fromCarbon(*code, toCarbonModifiers(modifierFlags & ~ModifierFlag::function));
}

std::optional<Shortcut> Shortcut::fromX11(quint32 keysym, quint32 state)
{
    const std::optional<qint64> code = codeForKeysym(keysym);
    if (!code)
        return std::nullopt;
    qint64 carbon = 0;
    for (const ModifierBits &bits : modifierTable) {
        if (bits.x11 && (state & bits.x11))
            carbon |= bits.carbon;
    }
    return Shortcut { *code, carbon };
}

QString Shortcut::description() const
{
    QString keyPart;
    if (const SpecialKey *special = specialKey(carbonKeyCode)) {
        keyPart
            = special->symbol == spaceMarker ? QStringLiteral("Space") : QString::fromUtf16(special->symbol);
    } else {
        keyPart = capitalized(keyCharacter(carbonKeyCode).value_or(QString(QChar(0xFFFD))));
    }
    return modifierSymbols(modifiers()) + keyPart;
}

QString Shortcut::nativeText() const
{
    QString text = carbonModifiers & CarbonModifier::function ? QStringLiteral("Fn+") : QString();
    const QKeySequence sequence = keySequence();
    if (!sequence.isEmpty())
        return text + sequence.toString(QKeySequence::NativeText);
    // A key Qt has no name for: the modifiers as Qt writes them, then the stand-in character.
    const QString withKey
        = Shortcut { Key::a, carbonModifiers }.keySequence().toString(QKeySequence::NativeText);
    return text + withKey.chopped(1) + QChar(0xFFFD);
}

std::optional<QString> Shortcut::menuKeyEquivalent() const
{
    if (const SpecialKey *special = specialKey(carbonKeyCode)) {
        if (!special->menuSymbol)
            return std::nullopt;
        return QString::fromUtf16(special->menuSymbol);
    }
    return keyCharacter(carbonKeyCode);
}

QKeySequence Shortcut::keySequence() const
{
    const KeyRow *row = rowForCode(carbonKeyCode);
    if (!row)
        return {};
    Qt::KeyboardModifiers qtModifiers = row->keypad ? Qt::KeypadModifier : Qt::NoModifier;
    const quint64 flags = modifiers();
    for (const ModifierBits &bits : modifierTable) {
        if (bits.qt != Qt::NoModifier && (flags & bits.flag))
            qtModifiers |= bits.qt;
    }
    return QKeySequence(QKeyCombination(qtModifiers, Qt::Key(row->qtKey)));
}

QByteArray Shortcut::toJson() const
{
    // QJsonObject orders its members by name, which is the stored order here.
    QJsonObject object;
    object.insert(QStringLiteral("carbonKeyCode"), carbonKeyCode);
    object.insert(QStringLiteral("carbonModifiers"), carbonModifiers);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Shortcut> Shortcut::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const auto integer = [&](const QString &name) -> std::optional<qint64> {
        const QJsonValue value = document.object().value(name);
        if (!value.isDouble())
            return std::nullopt;
        const double number = value.toDouble();
        // Doubles hold integers exactly up to 2^53; anything else is no stored integer.
        if (std::trunc(number) != number || std::abs(number) > 9007199254740992.0)
            return std::nullopt;
        return qint64(number);
    };
    const std::optional<qint64> code = integer(QStringLiteral("carbonKeyCode"));
    const std::optional<qint64> mask = integer(QStringLiteral("carbonModifiers"));
    if (!code || !mask)
        return std::nullopt;
    return Shortcut { *code, *mask };
}

std::optional<quint32> Shortcut::x11KeySymbol() const
{
    const KeyRow *row = rowForCode(carbonKeyCode);
    if (!row)
        return std::nullopt;
    return row->keysym;
}

std::optional<quint32> Shortcut::x11Modifiers() const
{
    quint32 state = 0;
    for (const ModifierBits &bits : modifierTable) {
        if (!(carbonModifiers & bits.carbon))
            continue;
        if (!bits.x11)
            return std::nullopt;
        state |= bits.x11;
    }
    return state;
}

QAction *menuItemTakingShortcut(const QMenu &menu, const Shortcut &shortcut)
{
    const QKeySequence sequence = shortcut.keySequence();
    if (sequence.isEmpty())
        return nullptr;
    for (QAction *action : menu.actions()) {
        if (action->shortcuts().contains(sequence))
            return action;
        if (const QMenu *submenu = action->menu()) {
            if (QAction *found = menuItemTakingShortcut(*submenu, shortcut))
                return found;
        }
    }
    return nullptr;
}

} // namespace KeyboardShortcuts
