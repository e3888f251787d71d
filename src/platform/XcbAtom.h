#pragma once

#include <QByteArrayView>

#include <xcb/xcb.h>

#include <cstdlib>

// The atom of a name on this connection (a round trip); XCB_ATOM_NONE when the server did not
// answer.
inline xcb_atom_t internAtom(xcb_connection_t *connection, QByteArrayView name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(name.size()), name.data()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}
