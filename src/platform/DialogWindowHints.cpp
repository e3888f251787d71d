#include "platform/DialogWindowHints.h"

#include "platform/X11Connection.h"

#include <xcb/xcb.h>

#include <QByteArray>

#include <cstdlib>
#include <cstring>

namespace {

// The name the running window manager gives itself, read from its check window.
QByteArray windowManagerName(X11Connection &connection)
{
    const QByteArray check
        = connection.property(connection.root(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, 4);
    if (check.size() < 4)
        return {};
    quint32 window = 0;
    std::memcpy(&window, check.constData(), sizeof window);
    return connection.property(window, "_NET_WM_NAME", connection.atom("UTF8_STRING"), 64);
}

} // namespace

namespace DialogWindowHints {

void applyBeforeMapping(quint64 windowId)
{
    X11Connection *connection = X11Connection::shared();
    if (!connection || !windowId)
        return;
    // Qt marks a dialog as one already (its type, the window it belongs to, a fixed size, Motif
    // functions without minimise and maximise): a window manager that honours these frames it.
    // Openbox gives every dialog a minimise button whatever its hints (it takes only moving and
    // resizing from the Motif ones) and draws the maximise button even on a window of fixed
    // size. The one type it frames with a title and a close button alone, and still gives the
    // focus to when it is shown, is that of a menu torn off its program.
    if (windowManagerName(*connection) != "Openbox")
        return;
    const quint32 menu = connection->atom("_NET_WM_WINDOW_TYPE_MENU");
    xcb_connection_t *c = connection->xcb();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(windowId),
        connection->atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &menu);
    // A round trip: the server has the type before the toolkit's own connection maps the window.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    connection->drain();
}

} // namespace DialogWindowHints
