#include "platform/X11SyntheticKeyboard.h"

#include "platform/X11Connection.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

constexpr xcb_keysym_t controlL = 0xffe3;
constexpr xcb_keysym_t shiftL = 0xffe1;
constexpr xcb_keysym_t letterV = 'v';
constexpr xcb_keysym_t insert = 0xff63;

// The keys of a keystroke, modifiers first: pressed in this order, released in the reverse.
QList<xcb_keysym_t> keysOf(PasteKeystroke keystroke)
{
    switch (keystroke) {
    case PasteKeystroke::controlV:
        return { controlL, letterV };
    case PasteKeystroke::controlShiftV:
        return { controlL, shiftL, letterV };
    case PasteKeystroke::shiftInsert:
        return { shiftL, insert };
    }
    return {};
}

} // namespace

bool X11SyntheticKeyboard::isTrusted() const
{
    return m_connection.hasXTest();
}

bool X11SyntheticKeyboard::sendPaste(PasteKeystroke keystroke, QString *error)
{
    if (!isTrusted()) {
        if (error)
            *error = QStringLiteral("the X server has no XTEST extension");
        return false;
    }
    QList<xcb_keycode_t> codes;
    for (const xcb_keysym_t key : keysOf(keystroke)) {
        const xcb_keycode_t code = m_keyboardMap.keycodesFor(key).value(0, XCB_NO_SYMBOL);
        if (code == XCB_NO_SYMBOL) {
            if (error)
                *error = QStringLiteral("no key of the keyboard types %1")
                             .arg(PasteKeystrokes::displayName(keystroke));
            return false;
        }
        codes.append(code);
    }

    xcb_connection_t *c = m_connection.xcb();
    // Every modifier key that is down now (except Caps Lock, which is a state, not a held key).
    for (const quint8 code : m_keyboardMap.heldModifierKeys())
        xcb_test_fake_input(c, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);

    for (const xcb_keycode_t code : codes)
        xcb_test_fake_input(c, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    for (auto code = codes.crbegin(); code != codes.crend(); ++code)
        xcb_test_fake_input(c, XCB_KEY_RELEASE, *code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    m_connection.flush();
    m_connection.drain();
    return true;
}

bool X11SyntheticKeyboard::sendKeys(const QList<std::pair<quint32, bool>> &keys)
{
    if (!isTrusted())
        return false;
    xcb_connection_t *c = m_connection.xcb();
    QList<std::pair<xcb_keycode_t, bool>> codes;
    for (const auto &[keysym, press] : keys) {
        const xcb_keycode_t code = m_keyboardMap.keycodesFor(keysym).value(0, XCB_NO_SYMBOL);
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
