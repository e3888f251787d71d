#include "platform/X11InputBarrier.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> owned(Reply *reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

} // namespace

X11InputBarrier::X11InputBarrier(std::function<void(quint32 number)> reached, QObject *parent)
    : QObject(parent)
    , m_reached(std::move(reached))
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    m_connection = x11->connection();
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    const auto atom = owned(xcb_intern_atom_reply(m_connection,
        xcb_intern_atom(m_connection, 0, quint16(std::strlen(propertyName)), propertyName), nullptr));
    if (!atom)
        return;
    m_atom = atom->atom;
    // Qt watches the root window's properties already; the mask is kept whole either way.
    const auto attributes = owned(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, m_root), nullptr));
    const quint32 mask = (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);
    qGuiApp->installNativeEventFilter(this);
}

X11InputBarrier::~X11InputBarrier()
{
    if (m_atom != 0 && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11InputBarrier::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
    if (change->window != m_root || change->atom != m_atom || change->state != XCB_PROPERTY_NEW_VALUE)
        return false;
    const auto value = owned(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_root, m_atom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (value && xcb_get_property_value_length(value.get()) == 4) {
        quint32 number = 0;
        std::memcpy(&number, xcb_get_property_value(value.get()), 4);
        passOn(number, queuedTurns);
    }
    return false;
}

void X11InputBarrier::passOn(quint32 number, int turnsLeft)
{
    if (turnsLeft > 0) {
        QMetaObject::invokeMethod(
            this, [this, number, turnsLeft] { passOn(number, turnsLeft - 1); }, Qt::QueuedConnection);
        return;
    }
    // A round trip: the server has taken everything the app sent before, its drawing too.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    m_reached(number);
}
