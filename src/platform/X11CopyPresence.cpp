#include "platform/X11CopyPresence.h"

#include "platform/X11Connection.h"

#include <QByteArray>
#include <QtEndian>

#include <xcb/xcb.h>

#include <cstdlib>

#include <unistd.h>

X11CopyPresence::X11CopyPresence(X11Connection &connection)
    : m_connection(connection)
    , m_selection(
          connection.atom(QByteArray("_TINDLEWICK_COPY_S") + QByteArray::number(connection.screenNumber())))
{
    xcb_connection_t *xcb = m_connection.xcb();
    m_window = xcb_generate_id(xcb);
    // Never mapped: it stands for the copy, and takes no input.
    xcb_create_window(xcb, 0, m_window, m_connection.root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
        XCB_COPY_FROM_PARENT, 0, nullptr);
    const quint32 pid = quint32(::getpid());
    xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, m_window, m_connection.atom("_NET_WM_PID"),
        XCB_ATOM_CARDINAL, 32, 1, &pid);
    claimWhenFree();
}

X11CopyPresence::~X11CopyPresence()
{
    xcb_destroy_window(m_connection.xcb(), m_window);
    m_connection.flush();
}

quint32 X11CopyPresence::owner()
{
    xcb_connection_t *xcb = m_connection.xcb();
    xcb_get_selection_owner_reply_t *reply
        = xcb_get_selection_owner_reply(xcb, xcb_get_selection_owner(xcb, m_selection), nullptr);
    const quint32 window = reply ? reply->owner : quint32(XCB_WINDOW_NONE);
    std::free(reply);
    m_connection.drain();
    return window;
}

void X11CopyPresence::claimWhenFree()
{
    if (m_selection == XCB_ATOM_NONE || owner() != XCB_WINDOW_NONE)
        return;
    xcb_set_selection_owner(m_connection.xcb(), m_window, m_selection, XCB_CURRENT_TIME);
    m_connection.flush();
}

std::optional<qint64> X11CopyPresence::otherCopy()
{
    if (m_selection == XCB_ATOM_NONE)
        return std::nullopt;
    const quint32 window = owner();
    if (window == m_window)
        return std::nullopt;
    if (window == XCB_WINDOW_NONE) {
        claimWhenFree();
        return std::nullopt;
    }
    const QByteArray pid = m_connection.property(window, "_NET_WM_PID", XCB_ATOM_CARDINAL, 4);
    return pid.size() == 4 ? qint64(qFromUnaligned<quint32>(pid.constData())) : 0;
}
