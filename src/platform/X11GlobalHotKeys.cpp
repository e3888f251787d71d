#include "platform/X11GlobalHotKeys.h"

#include "platform/X11Connection.h"
#include "platform/X11CopyPresence.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace {

// Shift, Control, Mod1 and Mod4: the modifiers a shortcut can hold.
constexpr quint16 shortcutModifierMask
    = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

} // namespace

X11GlobalHotKeys::X11GlobalHotKeys(X11Connection &connection, QObject *parent)
    : GlobalHotKeys(parent)
    , m_connection(connection)
    , m_keyboardMap(connection)
    , m_numLockMask(m_keyboardMap.numLockMask())
{
    // Without it a held key would arrive as a stream of releases and presses.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(m_connection.display(), True, &supported);
    m_keyboardMap.setChangeHandler([this] { handleMappingChange(); });
    m_handlerId = m_connection.addEventHandler([this](const void *event) { handleEvent(event); });
    m_connection.drain();
}

X11GlobalHotKeys::~X11GlobalHotKeys()
{
    m_connection.removeEventHandler(m_handlerId);
    for (const Grab &grab : std::as_const(m_grabs))
        ungrabKeycodes(grab);
    m_connection.flush();
}

void X11GlobalHotKeys::handleMappingChange()
{
    // A notice comes too when another keyboard types for the first time (xdotool's, at the
    // first shortcut after a start): the keys are where they were, and nothing is touched.
    // Where they moved, the new keys are grabbed before the old ones go, so that no press
    // falls between; and a key held down stays down, so that its release still counts.
    const QList<quint16> oldVariants = lockVariants();
    m_numLockMask = m_keyboardMap.numLockMask();
    const QList<quint16> newVariants = lockVariants();
    for (Grab &grab : m_grabs) {
        const QList<quint8> keycodes = m_keyboardMap.keycodesFor(grab.combination.keysym);
        if (keycodes == grab.keycodes && newVariants == oldVariants)
            continue;
        for (quint8 keycode : keycodes) {
            for (quint16 variant : newVariants) {
                if (!grab.keycodes.contains(keycode) || !oldVariants.contains(variant))
                    xcb_grab_key(m_connection.xcb(), 1, m_connection.root(),
                        quint16(grab.combination.modifiers | variant), keycode, XCB_GRAB_MODE_ASYNC,
                        XCB_GRAB_MODE_ASYNC);
            }
        }
        for (quint8 keycode : std::as_const(grab.keycodes)) {
            for (quint16 variant : oldVariants) {
                if (!keycodes.contains(keycode) || !newVariants.contains(variant))
                    xcb_ungrab_key(m_connection.xcb(), keycode, m_connection.root(),
                        quint16(grab.combination.modifiers | variant));
            }
        }
        grab.keycodes = keycodes;
    }
    m_connection.flush();
}

QList<quint16> X11GlobalHotKeys::lockVariants() const
{
    QList<quint16> variants { 0, XCB_MOD_MASK_LOCK };
    if (m_numLockMask)
        variants << m_numLockMask << quint16(m_numLockMask | XCB_MOD_MASK_LOCK);
    return variants;
}

bool X11GlobalHotKeys::grabKeycodes(Grab &grab, QString *error)
{
    grab.keycodes = m_keyboardMap.keycodesFor(grab.combination.keysym);
    if (grab.keycodes.isEmpty()) {
        if (error)
            *error = QStringLiteral("no key of the keyboard produces the symbol 0x%1")
                         .arg(grab.combination.keysym, 0, 16);
        return false;
    }
    QList<xcb_void_cookie_t> cookies;
    for (quint8 keycode : std::as_const(grab.keycodes)) {
        for (quint16 variant : lockVariants()) {
            cookies.append(xcb_grab_key_checked(m_connection.xcb(), 1, m_connection.root(),
                quint16(grab.combination.modifiers | variant), keycode, XCB_GRAB_MODE_ASYNC,
                XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = false;
    for (const xcb_void_cookie_t cookie : std::as_const(cookies)) {
        if (xcb_generic_error_t *failure = xcb_request_check(m_connection.xcb(), cookie)) {
            refused = true;
            std::free(failure);
        }
    }
    m_connection.drain();
    if (refused) {
        ungrabKeycodes(grab);
        m_connection.flush();
        if (error)
            *error = refusalReason();
        return false;
    }
    return true;
}

QString X11GlobalHotKeys::refusalReason() const
{
    const std::optional<qint64> copy = m_copyPresence ? m_copyPresence->otherCopy() : std::nullopt;
    if (!copy)
        return QStringLiteral("another program (often an input method) holds the combination");
    const QString process = *copy > 0 ? QStringLiteral(" (process %1)").arg(*copy) : QString();
    return QStringLiteral("another copy of Tindlewick on this display%1 holds the combination; quit that "
                          "copy to use it here")
        .arg(process);
}

void X11GlobalHotKeys::ungrabKeycodes(const Grab &grab)
{
    for (quint8 keycode : grab.keycodes) {
        for (quint16 variant : lockVariants())
            xcb_ungrab_key(m_connection.xcb(), keycode, m_connection.root(),
                quint16(grab.combination.modifiers | variant));
    }
}

bool X11GlobalHotKeys::grab(const HotKeyCombination &combination, QString *error)
{
    for (const Grab &existing : std::as_const(m_grabs)) {
        if (existing.combination == combination)
            return true;
    }
    Grab grab { combination, {}, false, 0 };
    if (!grabKeycodes(grab, error))
        return false;
    m_grabs.append(grab);
    return true;
}

void X11GlobalHotKeys::ungrab(const HotKeyCombination &combination)
{
    for (qsizetype i = 0; i < m_grabs.size(); ++i) {
        if (m_grabs[i].combination == combination) {
            ungrabKeycodes(m_grabs[i]);
            m_grabs.removeAt(i);
            m_connection.flush();
            return;
        }
    }
}

bool X11GlobalHotKeys::isHeldByAnotherClient(const HotKeyCombination &combination)
{
    for (const Grab &existing : std::as_const(m_grabs)) {
        if (existing.combination == combination)
            return false;
    }
    const QList<quint8> keycodes = m_keyboardMap.keycodesFor(combination.keysym);
    if (keycodes.isEmpty())
        return false;
    if (!m_probe)
        m_probe = X11Connection::open();
    if (!m_probe)
        return false;
    xcb_connection_t *c = m_probe->xcb();
    struct Attempt
    {
        quint8 keycode;
        quint16 modifiers;
        xcb_void_cookie_t cookie;
    };
    QList<Attempt> attempts;
    for (quint8 keycode : keycodes) {
        for (quint16 variant : lockVariants()) {
            const auto modifiers = quint16(combination.modifiers | variant);
            attempts.append({ keycode, modifiers,
                xcb_grab_key_checked(
                    c, 1, m_probe->root(), modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC) });
        }
    }
    bool held = false;
    for (const Attempt &attempt : std::as_const(attempts)) {
        if (xcb_generic_error_t *failure = xcb_request_check(c, attempt.cookie)) {
            held = held || failure->error_code == XCB_ACCESS;
            std::free(failure);
        } else {
            xcb_ungrab_key(c, attempt.keycode, m_probe->root(), attempt.modifiers);
        }
    }
    m_probe->flush();
    m_probe->drain();
    return held;
}

void X11GlobalHotKeys::handleEvent(const void *rawEvent)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(rawEvent);
    const quint8 type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return;
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (type == XCB_KEY_PRESS) {
        const quint16 modifiers = key->state & shortcutModifierMask;
        for (Grab &grab : m_grabs) {
            if (grab.combination.modifiers != modifiers || !grab.keycodes.contains(key->detail))
                continue;
            if (grab.down)
                return; // a repeat of a held key
            grab.down = true;
            grab.downKeycode = key->detail;
            const HotKeyCombination combination = grab.combination;
            Q_EMIT pressed(combination);
            return;
        }
        return;
    }
    // The release of the key alone: the modifiers may be up already.
    for (Grab &grab : m_grabs) {
        if (grab.down && grab.downKeycode == key->detail) {
            grab.down = false;
            const HotKeyCombination combination = grab.combination;
            Q_EMIT released(combination);
            return;
        }
    }
}
