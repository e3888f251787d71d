#include "platform/X11GlobalInputMonitor.h"

#include "platform/X11Connection.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdlib>

std::unique_ptr<GlobalInputMonitor> GlobalInputMonitor::openSeparate()
{
    std::unique_ptr<X11Connection> connection = X11Connection::open();
    if (!connection)
        return nullptr;
    auto monitor = std::make_unique<X11GlobalInputMonitor>(*connection);
    // The monitor owns its connection: it goes with the monitor, after it.
    connection.release()->setParent(monitor.get());
    return monitor;
}

X11GlobalInputMonitor::X11GlobalInputMonitor(X11Connection &connection, QObject *parent)
    : GlobalInputMonitor(parent)
    , m_connection(connection)
    , m_keyboardMap(connection)
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

bool X11GlobalInputMonitor::setWatchesModifiers(bool watch, QString *error)
{
    if (watch && !isAvailable()) {
        if (error)
            *error = m_connection.rawInputUnavailableReason();
        return false;
    }
    if (watch && m_connection.isXWayland()) {
        if (error)
            *error = QStringLiteral("on XWayland only keys typed into X11 windows can be seen");
        return false;
    }
    if (m_modifiers == watch)
        return true;
    m_modifiers = watch;
    m_heldModifierKeys.clear();
    m_flags = 0;
    if (!select(error)) {
        m_modifiers = false;
        select();
        return false;
    }
    if (watch) {
        QList<quint8> held;
        m_flags = m_keyboardMap.heldModifierFlags(&held);
        for (quint8 keycode : std::as_const(held))
            m_heldModifierKeys.insert(keycode, m_keyboardMap.modifierFlagOf(keycode));
    }
    return true;
}

bool X11GlobalInputMonitor::select(QString *error)
{
    if (!isAvailable())
        return false;
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
    xcb_connection_t *c = m_connection.xcb();
    const xcb_void_cookie_t cookie
        = xcb_input_xi_select_events_checked(c, m_connection.root(), 1, &selection.head);
    xcb_generic_error_t *failure = xcb_request_check(c, cookie);
    m_connection.drain();
    if (failure) {
        if (error)
            *error = QStringLiteral("the X server refused raw input (error %1)").arg(failure->error_code);
        std::free(failure);
        return false;
    }
    return true;
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
        const quint64 flag = m_keyboardMap.modifierFlagOf(keycode);
        const bool press = generic->event_type == XCB_INPUT_RAW_KEY_PRESS;
        if (!m_keyboardMap.isModifierKey(keycode)) {
            if (press)
                Q_EMIT otherKeyPressed(keycode, m_flags, secondsOf(raw->time));
            return;
        }
        if (!flag)
            return;
        if (press)
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
