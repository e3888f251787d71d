#include "platform/X11SelectionServer.h"

#include <xcb/xcb.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>

namespace {

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// The largest piece written at once: well under the smallest request a server must take.
constexpr qsizetype maxPieceBytes = 256 * 1024;

quint64 transferKey(xcb_window_t requestor, xcb_atom_t property)
{
    return (quint64(requestor) << 32) | property;
}

} // namespace

X11SelectionServer::~X11SelectionServer()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    const quint64 one = 1;
    (void)!::write(m_wake, &one, sizeof(one));
    m_thread.join();
    ::close(m_wake);
}

void X11SelectionServer::answer(
    const xcb_selection_request_event_t &request, std::shared_ptr<const FileListForms> forms)
{
    if (!m_thread.joinable()) {
        m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wake < 0)
            return;
        m_thread = std::thread([this] { run(); });
    }
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back({ request.requestor, request.selection, request.target, request.property,
            request.time, std::move(forms) });
    }
    const quint64 one = 1;
    (void)!::write(m_wake, &one, sizeof(one));
}

void X11SelectionServer::run()
{
    const bool connected = connectDisplay();
    for (;;) {
        pollfd descriptors[2] = { { m_wake, POLLIN, 0 },
            { connected ? xcb_get_file_descriptor(m_connection) : -1, POLLIN, 0 } };
        ::poll(descriptors, 2, m_transfers.isEmpty() ? -1 : 1000);
        if (descriptors[0].revents & POLLIN) {
            quint64 count = 0;
            (void)!::read(m_wake, &count, sizeof(count));
            if (!takeRequests())
                break;
        }
        if (!connected)
            continue;
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            handleEvent(event);
            std::free(event);
        }
        dropStaleTransfers();
    }
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11SelectionServer::connectDisplay()
{
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return false;
    }
    m_pieceBytes
        = std::min(maxPieceBytes, qsizetype(xcb_get_maximum_request_length(m_connection)) * 4 - 1024);
    return true;
}

bool X11SelectionServer::takeRequests()
{
    std::deque<Request> requests;
    {
        const std::lock_guard lock(m_mutex);
        if (m_quit)
            return false;
        requests.swap(m_requests);
    }
    // Without a connection of its own the requestor is left to its timeout.
    if (m_connection) {
        for (const Request &request : requests)
            respond(request);
    }
    return true;
}

xcb_atom_t X11SelectionServer::atom(const QByteArray &name)
{
    if (const auto found = m_atoms.constFind(name); found != m_atoms.cend())
        return *found;
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, quint16(name.size()), name.constData()), nullptr));
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    if (found != XCB_ATOM_NONE)
        m_atoms.insert(name, found);
    return found;
}

void X11SelectionServer::handleEvent(const void *generic)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(generic);
    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
        return;
    const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
    if (notify->state == XCB_PROPERTY_DELETE)
        continueTransfer(notify->window, notify->atom);
}

void X11SelectionServer::respond(const Request &request)
{
    // An old client names no property: the target's name stands for it.
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    xcb_atom_t answered = XCB_ATOM_NONE;
    if (request.target == atom("TARGETS")) {
        QList<xcb_atom_t> targets { atom("TARGETS"), atom("TIMESTAMP") };
        for (const FileListForms::Target &target : FileListForms::targets())
            targets.append(atom(target.name));
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM,
            32, quint32(targets.size()), targets.constData());
        answered = property;
    } else {
        answered = write(request, property);
    }
    xcb_selection_notify_event_t notify {};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered;
    xcb_send_event(
        m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
    xcb_flush(m_connection);
}

xcb_atom_t X11SelectionServer::write(const Request &request, xcb_atom_t property)
{
    for (const FileListForms::Target &target : FileListForms::targets()) {
        if (atom(target.name) != request.target)
            continue;
        std::optional<FileListForms::Reader> reader = request.forms->reader(target.name);
        const xcb_atom_t type = atom(target.type);
        const qsizetype size = request.forms->size(target.name);
        if (size <= m_pieceBytes) {
            const QByteArray bytes = reader->next(m_pieceBytes);
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, type, 8,
                quint32(bytes.size()), bytes.constData());
            return property;
        }
        // Incrementally: the requestor deletes the property for each next piece. Its window's
        // property changes are heard before it is told, so that no deletion is missed.
        const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_connection, request.requestor, XCB_CW_EVENT_MASK, &mask);
        const quint32 announced = quint32(std::min<qsizetype>(size, 0x7FFFFFFF));
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, atom("INCR"),
            32, 1, &announced);
        m_transfers.insert(transferKey(request.requestor, property),
            Transfer { request.requestor, property, type, *reader, std::chrono::steady_clock::now() });
        return property;
    }
    // Not a form of the list (MULTIPLE among them): refused.
    return XCB_ATOM_NONE;
}

void X11SelectionServer::continueTransfer(xcb_window_t requestor, xcb_atom_t property)
{
    const auto transfer = m_transfers.find(transferKey(requestor, property));
    if (transfer == m_transfers.end())
        return;
    // The last piece is the empty one, which ends the transfer.
    const QByteArray piece = transfer->reader.next(m_pieceBytes);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, transfer->type, 8,
        quint32(piece.size()), piece.constData());
    transfer->lastStep = std::chrono::steady_clock::now();
    if (piece.isEmpty())
        endTransfer(transfer);
    xcb_flush(m_connection);
}

void X11SelectionServer::endTransfer(QHash<quint64, Transfer>::iterator transfer)
{
    const xcb_window_t requestor = transfer->requestor;
    m_transfers.erase(transfer);
    for (const Transfer &other : std::as_const(m_transfers)) {
        if (other.requestor == requestor)
            return;
    }
    // The requestor's window is no longer watched (it may be gone: the error is let be).
    const quint32 none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_connection, requestor, XCB_CW_EVENT_MASK, &none);
    xcb_flush(m_connection);
}

void X11SelectionServer::dropStaleTransfers()
{
    const auto now = std::chrono::steady_clock::now();
    for (auto transfer = m_transfers.begin(); transfer != m_transfers.end();) {
        if (now - transfer->lastStep < transferTimeout) {
            ++transfer;
            continue;
        }
        endTransfer(transfer);
        transfer = m_transfers.begin();
    }
}
