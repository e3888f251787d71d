#include "platform/X11GlobalInputMonitor.h"

#include "platform/X11Connection.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>

#include <cstdlib>

namespace {

constexpr quint64 shiftFlag = 0x20000, controlFlag = 0x40000, optionFlag = 0x80000, commandFlag = 0x100000;

quint64 flagOfKeysym(xcb_keysym_t keysym)
{
    switch (keysym) {
    case 0xffe1: // Shift_L
    case 0xffe2: // Shift_R
        return shiftFlag;
    case 0xffe3: // Control_L
    case 0xffe4: // Control_R
        return controlFlag;
    case 0xffe9: // Alt_L
    case 0xffea: // Alt_R
    case 0xffe7: // Meta_L
    case 0xffe8: // Meta_R
        return optionFlag;
    case 0xffeb: // Super_L
    case 0xffec: // Super_R
        return commandFlag;
    default:
        return 0;
    }
}

} // namespace

X11GlobalInputMonitor::X11GlobalInputMonitor(X11Connection &connection, QObject *parent)
    : GlobalInputMonitor(parent)
    , m_connection(connection)
{
    m_handlerId = m_connection.addEventHandler([this](const void *event) { handleEvent(event); });
}

X11GlobalInputMonitor::~X11GlobalInputMonitor()
{
    m_connection.removeEventHandler(m_handlerId);
    m_mouse = m_modifiers = false;
    if (isAvailable())
        select();
}

bool X11GlobalInputMonitor::isAvailable() const
{
    return m_connection.xinputOpcode() != 0;
}

void X11GlobalInputMonitor::setWatchesMouseDowns(bool watch)
{
    if (m_mouse == watch)
        return;
    m_mouse = watch;
    select();
}

void X11GlobalInputMonitor::setWatchesModifiers(bool watch)
{
    if (m_modifiers == watch)
        return;
    m_modifiers = watch;
    m_heldModifierKeys.clear();
    m_flags = 0;
    select();
}

void X11GlobalInputMonitor::select()
{
    if (!isAvailable())
        return;
    quint32 mask = 0;
    if (m_mouse)
        mask |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
    if (m_modifiers)
        mask |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
    struct
    {
        xcb_input_event_mask_t head;
        quint32 mask;
    } selection { { XCB_INPUT_DEVICE_ALL_MASTER, 1 }, mask };
    xcb_input_xi_select_events(m_connection.xcb(), m_connection.root(), 1, &selection.head);
    m_connection.flush();
}

quint64 X11GlobalInputMonitor::modifierFlagOf(quint8 keycode)
{
    if (const auto it = m_flagByKeycode.constFind(keycode); it != m_flagByKeycode.cend())
        return *it;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection.xcb());
    const quint64 flag = flagOfKeysym(xcb_key_symbols_get_keysym(symbols, keycode, 0));
    xcb_key_symbols_free(symbols);
    m_flagByKeycode.insert(keycode, flag);
    return flag;
}

double X11GlobalInputMonitor::secondsOf(quint32 serverTime)
{
    if (serverTime < m_lastServerTime && m_lastServerTime - serverTime > 0x80000000u)
        m_wrapOffset += qint64(1) << 32;
    m_lastServerTime = serverTime;
    return double(m_wrapOffset + serverTime) / 1000.0;
}

void X11GlobalInputMonitor::handleEvent(const void *rawEvent)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(rawEvent);
    if ((event->response_type & 0x7f) == XCB_MAPPING_NOTIFY) {
        m_flagByKeycode.clear();
        return;
    }
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
        return;
    const auto *generic = reinterpret_cast<const xcb_ge_generic_event_t *>(event);
    if (generic->extension != m_connection.xinputOpcode())
        return;
    const auto *raw = reinterpret_cast<const xcb_input_raw_button_press_event_t *>(event);
    switch (generic->event_type) {
    case XCB_INPUT_RAW_BUTTON_PRESS: {
        m_connection.noteUserTime(raw->time);
        // Buttons 1 and 3: left and right; the wheel and others are no clicks.
        if (!m_mouse || (raw->detail != 1 && raw->detail != 3))
            return;
        xcb_connection_t *c = m_connection.xcb();
        xcb_query_pointer_reply_t *pointer
            = xcb_query_pointer_reply(c, xcb_query_pointer(c, m_connection.root()), nullptr);
        if (pointer) {
            const QPoint position(pointer->root_x, pointer->root_y);
            std::free(pointer);
            Q_EMIT mouseDown(position);
        }
        return;
    }
    case XCB_INPUT_RAW_KEY_PRESS:
    case XCB_INPUT_RAW_KEY_RELEASE: {
        if (!m_modifiers)
            return;
        const auto keycode = quint8(raw->detail);
        const quint64 flag = modifierFlagOf(keycode);
        if (!flag)
            return;
        if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS)
            m_heldModifierKeys.insert(keycode, flag);
        else
            m_heldModifierKeys.remove(keycode);
        quint64 flags = 0;
        for (quint64 held : std::as_const(m_heldModifierKeys))
            flags |= held;
        // A repeat of a held modifier or the second raw release of one key changes nothing.
        if (flags == m_flags)
            return;
        m_flags = flags;
        Q_EMIT modifierFlagsChanged(flags, secondsOf(raw->time));
        return;
    }
    default:
        return;
    }
}
