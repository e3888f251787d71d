#include "platform/X11KeyboardMap.h"

#include "platform/X11Connection.h"

#include <X11/XKBlib.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QPointer>
#include <QTimer>

#include <cstdlib>

namespace {

constexpr quint64 shiftFlag = 0x20000, controlFlag = 0x40000, optionFlag = 0x80000, commandFlag = 0x100000;
constexpr xcb_keysym_t numLockKeysym = 0xff7f;

// What a key of one of the rows Mod1 to Mod5 means, by its symbol: the rows are laid out
// differently from keyboard to keyboard.
quint64 flagOfModKeysym(xcb_keysym_t keysym)
{
    switch (keysym) {
    case 0xffe9: // Alt_L
    case 0xffea: // Alt_R
    case 0xffe7: // Meta_L
    case 0xffe8: // Meta_R
        return optionFlag;
    case 0xffeb: // Super_L
    case 0xffec: // Super_R
    case 0xffed: // Hyper_L
    case 0xffee: // Hyper_R
        return commandFlag;
    default:
        return 0;
    }
}

} // namespace

const KeyboardMap *KeyboardMap::system()
{
    // Made once and kept: it must not outlive the shared connection it reads, which goes
    // with the application object, so once that is gone there is no map.
    static X11KeyboardMap *map = nullptr;
    static QPointer<X11Connection> reading;
    if (!map) {
        if (X11Connection *connection = X11Connection::shared()) {
            map = new X11KeyboardMap(*connection);
            reading = connection;
        }
    }
    return reading ? map : nullptr;
}

X11KeyboardMap::X11KeyboardMap(X11Connection &connection)
    : m_connection(connection)
{
    // A client that uses XKB (Xlib does) hears of a new layout or a remapped key only
    // through XKB's own notices; the core MappingNotify is no longer sent to it.
    int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(m_connection.display(), &opcode, &eventBase, &errorBase, &major, &minor)) {
        constexpr unsigned long notices = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
        if (XkbSelectEvents(m_connection.display(), XkbUseCoreKbd, notices, notices))
            m_xkbEventBase = quint8(eventBase);
    }
    refresh();
    m_handlerId = m_connection.addEventHandler([this](const void *event) { handleEvent(event); });
}

X11KeyboardMap::~X11KeyboardMap()
{
    m_connection.removeEventHandler(m_handlerId);
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
}

void X11KeyboardMap::refresh()
{
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
    xcb_connection_t *c = m_connection.xcb();
    m_symbols = xcb_key_symbols_alloc(c);
    m_modifierFlags.clear();
    m_heldKeys.clear();
    m_numLockMask = 0;
    const QList<quint8> numLockKeys = keycodesFor(numLockKeysym);
    xcb_get_modifier_mapping_reply_t *mapping
        = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    if (mapping) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(mapping);
        const int perModifier = mapping->keycodes_per_modifier;
        // Rows in the core protocol's order: Shift, Lock, Control, Mod1 ... Mod5.
        for (int row = 0; row < 8; ++row) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[row * perModifier + i];
                if (!code)
                    continue;
                quint64 flag = 0;
                if (row == 0)
                    flag = shiftFlag;
                else if (row == 2)
                    flag = controlFlag;
                else if (row >= 3)
                    flag = flagOfModKeysym(xcb_key_symbols_get_keysym(m_symbols, code, 0));
                if (row != 1)
                    m_heldKeys.insert(code);
                if (!m_numLockMask && numLockKeys.contains(code))
                    m_numLockMask = quint16(1u << row);
                // Caps Lock, NumLock and the like stay in the table with no flag: they are
                // modifier keys all the same.
                m_modifierFlags[code] |= flag;
            }
        }
        std::free(mapping);
    }
    // Reading the tables may have brought events along.
    m_connection.drain();
}

std::optional<quint32> X11KeyboardMap::baseKeysym(quint32 keycode) const
{
    if (!m_symbols || keycode < 8 || keycode > 255)
        return std::nullopt;
    const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(m_symbols, xcb_keycode_t(keycode), 0);
    if (keysym == XCB_NO_SYMBOL)
        return std::nullopt;
    return quint32(keysym);
}

QList<quint8> X11KeyboardMap::keycodesFor(quint32 keysym) const
{
    QList<quint8> keycodes;
    if (!m_symbols)
        return keycodes;
    if (xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_symbols, keysym)) {
        for (const xcb_keycode_t *code = codes; *code != XCB_NO_SYMBOL; ++code) {
            if (!keycodes.contains(*code))
                keycodes.append(*code);
        }
        std::free(codes);
    }
    return keycodes;
}

QList<quint8> X11KeyboardMap::heldModifierKeys() const
{
    QList<quint8> held;
    heldModifierFlags(&held);
    held.removeIf([this](quint8 code) { return !m_heldKeys.contains(code); });
    return held;
}

quint64 X11KeyboardMap::heldModifierFlags(QList<quint8> *heldKeycodes) const
{
    xcb_connection_t *c = m_connection.xcb();
    xcb_query_keymap_reply_t *keymap = xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr);
    if (!keymap)
        return 0;
    quint64 flags = 0;
    for (auto it = m_modifierFlags.cbegin(); it != m_modifierFlags.cend(); ++it) {
        const quint8 code = it.key();
        if (keymap->keys[code / 8] & (1u << (code % 8))) {
            flags |= it.value();
            if (heldKeycodes)
                heldKeycodes->append(code);
        }
    }
    std::free(keymap);
    return flags;
}

void X11KeyboardMap::handleEvent(const void *rawEvent)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(rawEvent);
    const quint8 type = event->response_type & 0x7f;
    if (m_xkbEventBase && type == m_xkbEventBase) {
        // The kind of XKB notice follows the type.
        const quint8 xkbType = static_cast<const quint8 *>(rawEvent)[1];
        if (xkbType != XkbNewKeyboardNotify && xkbType != XkbMapNotify)
            return;
    } else {
        // Without XKB the core notice tells; with it, the core notice repeats XKB's.
        if (type != XCB_MAPPING_NOTIFY || m_xkbEventBase)
            return;
        const auto *mapping = reinterpret_cast<const xcb_mapping_notify_event_t *>(event);
        if (mapping->request == XCB_MAPPING_POINTER)
            return;
    }
    // One change comes as several notices: read the tables once, after the last of them.
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, &m_refreshContext, [this] {
        m_refreshPending = false;
        refresh();
        if (m_changed)
            m_changed();
    });
}
