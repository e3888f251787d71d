#include "platform/X11ClipboardRequests.h"

#include "platform/XcbAtom.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> owned(Reply *reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

} // namespace

X11ClipboardRequests::X11ClipboardRequests(QObject *parent)
    : ClipboardRequests(parent)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    m_connection = x11->connection();
    m_resourceMask = xcb_get_setup(m_connection)->resource_id_mask;
    m_clipboard = internAtom(m_connection, "CLIPBOARD");
    m_primary = XCB_ATOM_PRIMARY;
    qGuiApp->installNativeEventFilter(this);
}

X11ClipboardRequests::~X11ClipboardRequests()
{
    if (m_connection && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

void X11ClipboardRequests::follow(quint64 window)
{
    m_following = window != 0;
    m_followedClient = quint32(window) & ~m_resourceMask;
}

bool X11ClipboardRequests::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_following || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
        return false;
    const auto *request = reinterpret_cast<const xcb_selection_request_event_t *>(event);
    if (request->selection != m_clipboard && request->selection != m_primary)
        return false;
    if ((request->requestor & ~m_resourceMask) != m_followedClient)
        return false;
    const QString form = atomName(request->target);
    if (!form.isEmpty())
        Q_EMIT requested(form);
    // Qt answers the request as ever.
    return false;
}

QString X11ClipboardRequests::atomName(quint32 atom)
{
    if (const auto known = m_names.constFind(atom); known != m_names.cend())
        return *known;
    const auto reply
        = owned(xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr));
    if (!reply)
        return {};
    const QString name = QString::fromLatin1(
        xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    m_names.insert(atom, name);
    return name;
}
