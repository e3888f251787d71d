#include "platform/X11SyntheticKeyboard.h"

#include "platform/X11Connection.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr xcb_keysym_t controlL = 0xffe3;
constexpr xcb_keysym_t letterV = 'v';

struct KeySymbolsDeleter
{
    void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
};

xcb_keycode_t firstKeycode(xcb_key_symbols_t *symbols, xcb_keysym_t keysym)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t code = codes ? codes[0] : XCB_NO_SYMBOL;
    std::free(codes);
    return code;
}

} // namespace

bool X11SyntheticKeyboard::isTrusted() const
{
    return m_connection.hasXTest();
}

bool X11SyntheticKeyboard::sendPaste(QString *error)
{
    if (!isTrusted()) {
        if (error)
            *error = QStringLiteral("the X server has no XTEST extension");
        return false;
    }
    xcb_connection_t *c = m_connection.xcb();
    const std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> symbols(xcb_key_symbols_alloc(c));
    const xcb_keycode_t control = firstKeycode(symbols.get(), controlL);
    const xcb_keycode_t v = firstKeycode(symbols.get(), letterV);
    if (control == XCB_NO_SYMBOL || v == XCB_NO_SYMBOL) {
        if (error)
            *error = QStringLiteral("no key of the keyboard types Control or V");
        return false;
    }

    // Every modifier key that is down now (except Lock, which is a state, not a held key).
    xcb_query_keymap_reply_t *keymap = xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr);
    xcb_get_modifier_mapping_reply_t *mapping
        = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    if (keymap && mapping) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(mapping);
        const int perModifier = mapping->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            if (modifier == 1) // Lock
                continue;
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[modifier * perModifier + i];
                if (code && (keymap->keys[code / 8] & (1 << (code % 8))))
                    xcb_test_fake_input(c, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
            }
        }
    }
    std::free(keymap);
    std::free(mapping);

    xcb_test_fake_input(c, XCB_KEY_PRESS, control, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_PRESS, v, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_RELEASE, v, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_RELEASE, control, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    m_connection.flush();
    m_connection.drain();
    return true;
}

bool X11SyntheticKeyboard::sendKeys(const QList<std::pair<quint32, bool>> &keys)
{
    if (!isTrusted())
        return false;
    xcb_connection_t *c = m_connection.xcb();
    const std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> symbols(xcb_key_symbols_alloc(c));
    QList<std::pair<xcb_keycode_t, bool>> codes;
    for (const auto &[keysym, press] : keys) {
        const xcb_keycode_t code = firstKeycode(symbols.get(), keysym);
        if (code == XCB_NO_SYMBOL)
            return false;
        codes.append({ code, press });
    }
    for (const auto &[code, press] : codes)
        xcb_test_fake_input(
            c, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    m_connection.flush();
    return true;
}
