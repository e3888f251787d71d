#include "platform/X11Workspace.h"

#include "platform/X11Connection.h"

#include <QDesktopServices>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

X11Workspace::X11Workspace(X11Connection &connection)
    : m_connection(connection)
{
    m_handlerId = m_connection.addEventHandler([this](const void *event) { handleEvent(event); });
}

X11Workspace::~X11Workspace()
{
    m_connection.removeEventHandler(m_handlerId);
}

QByteArray X11Workspace::property(
    quint32 window, const QByteArray &name, quint32 type, quint32 maxLength) const
{
    return m_connection.property(window, name, type, maxLength);
}

std::optional<quint32> X11Workspace::word(quint32 window, const QByteArray &name, quint32 type) const
{
    const QByteArray value = property(window, name, type, 4);
    if (value.size() < 4)
        return std::nullopt;
    quint32 word = 0;
    std::memcpy(&word, value.constData(), 4);
    return word;
}

bool X11Workspace::listsAtom(quint32 window, const QByteArray &name, const QByteArray &atom) const
{
    const QByteArray atoms = property(window, name, XCB_ATOM_ATOM);
    const quint32 wanted = m_connection.atom(atom);
    for (qsizetype offset = 0; offset + 4 <= atoms.size(); offset += 4) {
        quint32 listed = 0;
        std::memcpy(&listed, atoms.constData() + offset, 4);
        if (listed == wanted)
            return true;
    }
    return false;
}

quint32 X11Workspace::activeWindow() const
{
    const quint32 window = word(m_connection.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW).value_or(0);
    // Some window managers name the root while the desktop itself has the focus: no window.
    return window == m_connection.root() ? 0 : window;
}

std::optional<RunningApplication> X11Workspace::applicationOfWindow(quint32 window) const
{
    if (!window)
        return std::nullopt;
    xcb_connection_t *c = m_connection.xcb();
    xcb_get_window_attributes_reply_t *attributes
        = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    if (!attributes)
        return std::nullopt;
    std::free(attributes);

    const quint32 utf8 = m_connection.atom("UTF8_STRING");
    RunningApplication application;
    application.windowId = window;
    const QList<QByteArray> wmClass = property(window, "WM_CLASS", XCB_ATOM_STRING).split('\0');
    const QString className = wmClass.size() >= 2 ? QString::fromLocal8Bit(wmClass.at(1)) : QString();
    application.windowInstance = !wmClass.isEmpty() ? QString::fromLocal8Bit(wmClass.at(0)) : QString();
    application.windowClass = className;
    QByteArray id = property(window, "_GTK_APPLICATION_ID", utf8);
    if (id.isEmpty())
        id = property(window, "_KDE_NET_WM_DESKTOP_FILE", utf8);
    application.bundleIdentifier = !id.isEmpty() ? QString::fromUtf8(id) : className.toLower();
    application.localizedName = className;
    application.processIdentifier = word(window, "_NET_WM_PID", XCB_ATOM_CARDINAL).value_or(0);
    m_connection.drain();
    return application;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    return applicationOfWindow(activeWindow());
}

bool X11Workspace::activate(const RunningApplication &application)
{
    xcb_connection_t *c = m_connection.xcb();
    const quint32 window = quint32(application.windowId);
    if (!window)
        return false;
    xcb_get_window_attributes_reply_t *attributes
        = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    if (!attributes) {
        m_connection.drain();
        return false;
    }
    const bool viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);

    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = m_connection.atom("_NET_ACTIVE_WINDOW");
    // Source 2: a request on the user's behalf (as a pager or task bar sends it).
    message.data.data32[0] = 2;
    message.data.data32[1] = m_connection.lastUserTime();
    message.data.data32[2] = activeWindow();
    xcb_send_event(c, 0, m_connection.root(),
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char *>(&message));
    if (viewable && property(m_connection.root(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, 4).isEmpty()) {
        // No EWMH window manager: give the focus directly.
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window,
            m_connection.lastUserTime() ? m_connection.lastUserTime() : XCB_CURRENT_TIME);
    }
    m_connection.flush();
    m_connection.drain();
    return true;
}

quint32 X11Workspace::clientWindowOf(quint32 frame) const
{
    // The window manager's frame holds the client somewhere below; the client is the
    // window that carries WM_STATE.
    xcb_connection_t *c = m_connection.xcb();
    const quint32 wmState = m_connection.atom("WM_STATE");
    QList<quint32> queue { frame };
    for (int visited = 0; !queue.isEmpty() && visited < 64; ++visited) {
        const quint32 window = queue.takeFirst();
        xcb_get_property_reply_t *state
            = xcb_get_property_reply(c, xcb_get_property(c, 0, window, wmState, XCB_ATOM_ANY, 0, 0), nullptr);
        const bool isClient = state && state->type != XCB_ATOM_NONE;
        std::free(state);
        if (isClient)
            return window;
        if (xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr)) {
            const xcb_window_t *children = xcb_query_tree_children(tree);
            for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
                queue.append(children[i]);
            std::free(tree);
        }
    }
    return 0;
}

bool X11Workspace::isDesktopWindow(quint32 window) const
{
    return listsAtom(window, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP");
}

// A window on another desktop may still be mapped (window managers with large virtual desktops),
// and a minimised one too (compositing window managers keep its picture): the window manager's
// word counts besides the map state.
bool X11Workspace::isShown(quint64 window) const
{
    const quint32 id = quint32(window);
    if (!id)
        return false;
    xcb_connection_t *c = m_connection.xcb();
    xcb_get_window_attributes_reply_t *attributes
        = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr);
    const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    const bool shown
        = viewable && isOnCurrentDesktop(id) && !listsAtom(id, "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN");
    m_connection.drain();
    return shown;
}

bool X11Workspace::isOnCurrentDesktop(quint32 window) const
{
    constexpr quint32 everyDesktop = 0xFFFFFFFF;
    const std::optional<quint32> desktop = word(window, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL);
    const std::optional<quint32> current
        = word(m_connection.root(), "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL);
    return !desktop || !current || *desktop == everyDesktop || *desktop == *current;
}

quint64 X11Workspace::transientFor(quint64 window) const
{
    const quint32 owner = window ? word(quint32(window), "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW).value_or(0) : 0;
    m_connection.drain();
    return owner;
}

std::optional<RunningApplication> X11Workspace::applicationAt(const QPoint &nativePosition) const
{
    xcb_connection_t *c = m_connection.xcb();
    xcb_translate_coordinates_reply_t *reply = xcb_translate_coordinates_reply(c,
        xcb_translate_coordinates(c, m_connection.root(), m_connection.root(), qint16(nativePosition.x()),
            qint16(nativePosition.y())),
        nullptr);
    const quint32 topLevel = reply ? reply->child : 0;
    std::free(reply);
    std::optional<RunningApplication> application;
    if (topLevel) {
        const quint32 client = clientWindowOf(topLevel);
        if (client && !isDesktopWindow(client))
            application = applicationOfWindow(client);
    }
    m_connection.drain();
    return application;
}

bool X11Workspace::isCompositing() const
{
    xcb_connection_t *c = m_connection.xcb();
    const quint32 selection
        = m_connection.atom("_NET_WM_CM_S" + QByteArray::number(m_connection.screenNumber()));
    xcb_get_selection_owner_reply_t *reply
        = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool compositing = reply && reply->owner != XCB_NONE;
    std::free(reply);
    m_connection.drain();
    return compositing;
}

void X11Workspace::setActivationHandler(ActivationHandler handler)
{
    Workspace::setActivationHandler(std::move(handler));
    if (!m_activationHandler)
        return;
    // Property changes of the root window bring every change of _NET_ACTIVE_WINDOW.
    xcb_connection_t *c = m_connection.xcb();
    xcb_get_window_attributes_reply_t *attributes
        = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, m_connection.root()), nullptr);
    const quint32 mask = (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(c, m_connection.root(), XCB_CW_EVENT_MASK, &mask);
    m_lastActiveWindow = activeWindow();
    m_connection.flush();
    m_connection.drain();
}

void X11Workspace::handleEvent(const void *rawEvent)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(rawEvent);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY || !m_activationHandler)
        return;
    const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
    if (notify->window != m_connection.root() || notify->atom != m_connection.atom("_NET_ACTIVE_WINDOW"))
        return;
    const quint32 window = activeWindow();
    if (window == m_lastActiveWindow)
        return;
    m_lastActiveWindow = window;
    m_activationHandler(applicationOfWindow(window));
}

bool X11Workspace::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
