#include "platform/X11EventCatchUp.h"

#include "common/EventLoopWait.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>

#include <xcb/xcb.h>

namespace {

// Sees the notice of a property change of one window, and ends the wait for it.
class PropertyNotice final : public QAbstractNativeEventFilter
{
public:
    PropertyNotice(xcb_window_t window, EventLoopWait &wait)
        : m_window(window)
        , m_wait(wait)
    { }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
            && reinterpret_cast<const xcb_property_notify_event_t *>(event)->window == m_window)
            m_wait.end();
        return false;
    }

private:
    xcb_window_t m_window;
    EventLoopWait &m_wait;
};

} // namespace

namespace X11EventCatchUp {

bool waitForEventsSentBeforeNow(QDeadlineTimer deadline)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    EventLoopWait wait;
    PropertyNotice notice(window, wait);
    qGuiApp->installNativeEventFilter(&notice);
    // Appending nothing changes nothing but is noticed, as a client does to learn the server's
    // time (ICCCM).
    xcb_change_property(
        connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection);
    const bool seen = wait.run(deadline);
    qGuiApp->removeNativeEventFilter(&notice);
    xcb_destroy_window(connection, window);
    xcb_flush(connection);
    return seen;
}

} // namespace X11EventCatchUp
