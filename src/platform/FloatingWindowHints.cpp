#include "platform/FloatingWindowHints.h"

#include "platform/X11Connection.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <QList>

#include <algorithm>
#include <cstdlib>

namespace FloatingWindowHints {

void applyBeforeMapping(quint64 windowId)
{
    X11Connection *connection = X11Connection::shared();
    if (!connection || !windowId)
        return;
    xcb_connection_t *c = connection->xcb();
    const auto window = xcb_window_t(windowId);
    const quint32 allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, connection->atom("_NET_WM_DESKTOP"),
        XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    // Added to whatever the toolkit put there; it merges its own states in again when it maps.
    QList<quint32> states;
    for (const char *name : { "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR",
             "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_ABOVE" }) {
        if (const quint32 atom = connection->atom(name))
            states.append(atom);
    }
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, connection->atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
        quint32(states.size()), states.constData());
    // A round trip: the server has the hints before the toolkit's own connection maps the window.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    connection->drain();
}

void setInputRegion(quint64 windowId, const QRect &region)
{
    X11Connection *connection = X11Connection::shared();
    if (!connection || !windowId)
        return;
    const xcb_rectangle_t rectangle { qint16(region.x()), qint16(region.y()),
        quint16(std::max(0, region.width())), quint16(std::max(0, region.height())) };
    xcb_shape_rectangles(connection->xcb(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
        xcb_window_t(windowId), 0, 0, 1, &rectangle);
    connection->drain();
}

} // namespace FloatingWindowHints
