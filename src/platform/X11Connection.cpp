#include "platform/X11Connection.h"

#include <QGuiApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <cstdlib>

X11Connection *X11Connection::shared()
{
    static QPointer<X11Connection> connection;
    static bool tried = false;
    if (connection || tried)
        return connection.data();
    tried = true;
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    _XDisplay *display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    connection = new X11Connection(display);
    // Lives for the rest of the run, beside the application object.
    connection->setParent(QCoreApplication::instance());
    return connection.data();
}

std::unique_ptr<X11Connection> X11Connection::open()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    _XDisplay *display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::X11Connection(_XDisplay *display)
    : m_display(display)
{
    m_xcb = XGetXCBConnection(display);
    // Events are read with xcb; Xlib only serves the calls that exist nowhere else.
    XSetEventQueueOwner(display, XCBOwnsEventQueue);
    m_screenNumber = DefaultScreen(display);
    m_root = quint32(RootWindow(display, m_screenNumber));

    xcb_prefetch_extension_data(m_xcb, &xcb_input_id);
    xcb_prefetch_extension_data(m_xcb, &xcb_test_id);
    const xcb_query_extension_reply_t *input = xcb_get_extension_data(m_xcb, &xcb_input_id);
    if (qEnvironmentVariableIntValue("TINDLEWICK_X11_NO_RAW_INPUT") == 1) {
        m_rawInputUnavailableReason
            = QStringLiteral("raw input is switched off (TINDLEWICK_X11_NO_RAW_INPUT)");
    } else if (!input || !input->present) {
        m_rawInputUnavailableReason = QStringLiteral("the X server has no XInput extension");
    } else {
        // Raw events of the root window reach a client that speaks 2.1 or later; nothing
        // newer is used.
        xcb_input_xi_query_version_reply_t *version
            = xcb_input_xi_query_version_reply(m_xcb, xcb_input_xi_query_version(m_xcb, 2, 1), nullptr);
        if (version
            && (version->major_version > 2 || (version->major_version == 2 && version->minor_version >= 1)))
            m_xinputOpcode = input->major_opcode;
        else
            m_rawInputUnavailableReason = QStringLiteral("the X server's XInput is older than 2.1");
        std::free(version);
    }
    static constexpr char xwayland[] = "XWAYLAND";
    xcb_query_extension_reply_t *wayland = xcb_query_extension_reply(
        m_xcb, xcb_query_extension(m_xcb, sizeof(xwayland) - 1, xwayland), nullptr);
    m_isXWayland = wayland && wayland->present;
    std::free(wayland);
    const xcb_query_extension_reply_t *test = xcb_get_extension_data(m_xcb, &xcb_test_id);
    m_hasXTest = test && test->present;

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_xcb), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11Connection::drain);
}

X11Connection::~X11Connection()
{
    delete m_notifier;
    if (m_display)
        XCloseDisplay(m_display);
}

quint32 X11Connection::atom(const QByteArray &name)
{
    if (const auto it = m_atoms.constFind(name); it != m_atoms.cend())
        return *it;
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        m_xcb, xcb_intern_atom(m_xcb, 0, quint16(name.size()), name.constData()), nullptr);
    const quint32 value = reply ? quint32(reply->atom) : quint32(XCB_ATOM_NONE);
    std::free(reply);
    if (value != XCB_ATOM_NONE)
        m_atoms.insert(name, value);
    drain();
    return value;
}

QByteArray X11Connection::property(quint32 window, const QByteArray &name, quint32 type, quint32 maxLength)
{
    const quint32 nameAtom = atom(name);
    QByteArray value;
    if (nameAtom == XCB_ATOM_NONE)
        return value;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        m_xcb, xcb_get_property(m_xcb, 0, window, nameAtom, type, 0, (maxLength + 3) / 4), nullptr);
    if (reply && reply->type != XCB_ATOM_NONE) {
        const int length = xcb_get_property_value_length(reply);
        value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)), length);
    }
    std::free(reply);
    return value;
}

int X11Connection::addEventHandler(EventHandler handler)
{
    const int id = m_nextHandlerId++;
    m_handlers.emplace(id, std::move(handler));
    return id;
}

void X11Connection::removeEventHandler(int id)
{
    m_handlers.erase(id);
}

void X11Connection::noteUserTime(quint32 time)
{
    // Server time wraps after 49 days; a newer time is "later" in modular arithmetic.
    if (time != XCB_CURRENT_TIME && (m_lastUserTime == 0 || qint32(time - m_lastUserTime) > 0))
        m_lastUserTime = time;
}

void X11Connection::flush()
{
    xcb_flush(m_xcb);
}

void X11Connection::drain()
{
    // A handler may issue requests that drain again; the outer loop picks those events up.
    if (m_draining)
        return;
    m_draining = true;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_xcb)) {
        dispatch(event);
        std::free(event);
    }
    m_draining = false;
}

void X11Connection::sync()
{
    std::free(xcb_get_input_focus_reply(m_xcb, xcb_get_input_focus(m_xcb), nullptr));
    drain();
}

void X11Connection::dispatch(const void *rawEvent)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(rawEvent);
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
        noteUserTime(reinterpret_cast<const xcb_key_press_event_t *>(event)->time);
        break;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
        noteUserTime(reinterpret_cast<const xcb_button_press_event_t *>(event)->time);
        break;
    default:
        break;
    }
    // Copies: a handler may add or remove handlers.
    const std::map<int, EventHandler> handlers = m_handlers;
    for (const auto &[id, handler] : handlers)
        handler(event);
}
