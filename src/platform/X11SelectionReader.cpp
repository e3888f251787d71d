#include "platform/X11SelectionReader.h"

#include <QElapsedTimer>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// Targets that describe the selection rather than hold its contents.
bool isProtocolTarget(const QString &name)
{
    static const QStringList names = {
        QStringLiteral("TARGETS"),
        QStringLiteral("TIMESTAMP"),
        QStringLiteral("MULTIPLE"),
        QStringLiteral("SAVE_TARGETS"),
        QStringLiteral("DELETE"),
        QStringLiteral("INCR"),
        QStringLiteral("INSERT_PROPERTY"),
        QStringLiteral("INSERT_SELECTION"),
        QStringLiteral("ATOM_PAIR"),
        QStringLiteral("CLIPBOARD_MANAGER"),
    };
    return name.isEmpty() || names.contains(name);
}

// X11's own names for text, best first: the one chosen is read as the text.
const QStringList &textTargets()
{
    static const QStringList names = {
        QStringLiteral("text/plain;charset=utf-8"),
        QStringLiteral("UTF8_STRING"),
        QStringLiteral("text/plain"),
        QStringLiteral("STRING"),
        QStringLiteral("TEXT"),
    };
    return names;
}

bool isTextTarget(const QString &name)
{
    return textTargets().contains(name) || name == u"COMPOUND_TEXT";
}

} // namespace

class X11SelectionReader::Deadline
{
public:
    explicit Deadline(std::chrono::milliseconds limit)
        : m_limit(limit)
    {
        m_timer.start();
    }
    std::chrono::milliseconds remaining() const
    {
        return std::max(std::chrono::milliseconds(0), m_limit - std::chrono::milliseconds(m_timer.elapsed()));
    }

private:
    std::chrono::milliseconds m_limit;
    QElapsedTimer m_timer;
};

namespace {

// Waits for an event that `matches` accepts, dropping the others, until the earlier of
// the two deadlines. The caller frees the event.
xcb_generic_event_t *waitForEvent(xcb_connection_t *connection,
    const std::function<bool(xcb_generic_event_t *)> &matches, std::chrono::milliseconds timeout,
    std::chrono::milliseconds totalRemaining)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 limit = std::min(timeout, totalRemaining).count();
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            if (matches(event))
                return event;
            std::free(event);
        }
        if (xcb_connection_has_error(connection))
            return nullptr;
        const qint64 left = limit - timer.elapsed();
        if (left <= 0)
            return nullptr;
        pollfd descriptor { xcb_get_file_descriptor(connection), POLLIN, 0 };
        ::poll(&descriptor, 1, int(left));
    }
}

} // namespace

X11SelectionReader::~X11SelectionReader()
{
    disconnect();
}

bool X11SelectionReader::connect()
{
    if (m_connection && !xcb_connection_has_error(m_connection))
        return true;
    disconnect();
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        disconnect();
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        disconnect();
        return false;
    }
    m_window = xcb_generate_id(m_connection);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screens.data->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screens.data->root_visual, XCB_CW_EVENT_MASK, &eventMask);
    m_clipboard = atom(QStringLiteral("CLIPBOARD"));
    m_property = atom(QStringLiteral("TINDLEWICK_SELECTION"));
    m_incr = atom(QStringLiteral("INCR"));
    m_targets = atom(QStringLiteral("TARGETS"));
    xcb_flush(m_connection);
    return m_clipboard && m_property && m_incr && m_targets;
}

void X11SelectionReader::disconnect()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_window = 0;
    m_atomsByName.clear();
    m_namesByAtom.clear();
}

xcb_atom_t X11SelectionReader::atom(const QString &name)
{
    if (const auto it = m_atomsByName.constFind(name); it != m_atomsByName.constEnd())
        return *it;
    const QByteArray bytes = name.toUtf8();
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, quint16(bytes.size()), bytes.constData()), nullptr));
    if (!reply)
        return XCB_ATOM_NONE;
    m_atomsByName.insert(name, reply->atom);
    m_namesByAtom.insert(reply->atom, name);
    return reply->atom;
}

QString X11SelectionReader::atomName(xcb_atom_t atom)
{
    if (const auto it = m_namesByAtom.constFind(atom); it != m_namesByAtom.constEnd())
        return *it;
    XcbReply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr));
    if (!reply)
        return QString();
    const QString name
        = QString::fromUtf8(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    m_namesByAtom.insert(atom, name);
    m_atomsByName.insert(name, atom);
    return name;
}

std::optional<X11SelectionReader::Reply> X11SelectionReader::convert(
    xcb_atom_t target, const Deadline &total, bool *timedOut)
{
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_convert_selection(m_connection, m_window, m_clipboard, target, m_property, XCB_CURRENT_TIME);
    xcb_flush(m_connection);

    const auto isAnswer = [&](xcb_generic_event_t *event) {
        if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY)
            return false;
        const auto *notify = reinterpret_cast<xcb_selection_notify_event_t *>(event);
        return notify->requestor == m_window && notify->selection == m_clipboard && notify->target == target;
    };
    XcbReply<xcb_generic_event_t> event(
        waitForEvent(m_connection, isAnswer, m_timeouts.response, total.remaining()));
    if (!event) {
        *timedOut = true;
        return std::nullopt;
    }
    if (reinterpret_cast<xcb_selection_notify_event_t *>(event.get())->property == XCB_ATOM_NONE)
        return std::nullopt; // refused

    // Reading with delete set also tells an incremental sender to start.
    XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(m_connection,
        xcb_get_property(m_connection, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1FFFFFFF),
        nullptr));
    if (!property)
        return std::nullopt;
    if (property->type == m_incr)
        return readIncrementally(total, timedOut);
    Reply reply;
    reply.type = property->type;
    reply.data = QByteArray(static_cast<const char *>(xcb_get_property_value(property.get())),
        xcb_get_property_value_length(property.get()));
    return reply;
}

std::optional<X11SelectionReader::Reply> X11SelectionReader::readIncrementally(
    const Deadline &total, bool *timedOut)
{
    const auto isNewChunk = [&](xcb_generic_event_t *event) {
        if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
        return notify->window == m_window && notify->atom == m_property
            && notify->state == XCB_PROPERTY_NEW_VALUE;
    };
    Reply reply;
    for (;;) {
        XcbReply<xcb_generic_event_t> event(
            waitForEvent(m_connection, isNewChunk, m_timeouts.response, total.remaining()));
        if (!event) {
            *timedOut = true;
            return std::nullopt;
        }
        XcbReply<xcb_get_property_reply_t> chunk(xcb_get_property_reply(m_connection,
            xcb_get_property(m_connection, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1FFFFFFF),
            nullptr));
        if (!chunk)
            return std::nullopt;
        const int length = xcb_get_property_value_length(chunk.get());
        if (length == 0)
            return reply; // an empty chunk ends the transfer
        reply.type = chunk->type;
        reply.data.append(static_cast<const char *>(xcb_get_property_value(chunk.get())), length);
    }
}

std::optional<QHash<QString, xcb_atom_t>> X11SelectionReader::targets(
    QStringList *order, const Deadline &total, bool *timedOut)
{
    const std::optional<Reply> reply = convert(m_targets, total, timedOut);
    if (!reply)
        return std::nullopt;
    QHash<QString, xcb_atom_t> byName;
    const auto *atoms = reinterpret_cast<const xcb_atom_t *>(reply->data.constData());
    const qsizetype count = reply->data.size() / qsizetype(sizeof(xcb_atom_t));
    for (qsizetype i = 0; i < count; ++i) {
        const QString name = atomName(atoms[i]);
        if (isProtocolTarget(name) || byName.contains(name))
            continue;
        byName.insert(name, atoms[i]);
        order->append(name);
    }
    return byName;
}

PasteboardContents X11SelectionReader::read(const QList<QStringList> &requests)
{
    PasteboardContents contents;
    if (!connect()) {
        contents.complete = false;
        return contents;
    }
    XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
    if (!owner || owner->owner == XCB_NONE)
        return contents;

    const Deadline total(m_timeouts.total);
    bool timedOut = false;
    QStringList targetOrder;
    const std::optional<QHash<QString, xcb_atom_t>> offered = targets(&targetOrder, total, &timedOut);
    if (!offered) {
        contents.complete = !timedOut;
        return contents;
    }
    for (const QString &name : targetOrder) {
        const QString type = isTextTarget(name) ? PasteboardType::plainText : name;
        if (!contents.types.contains(type))
            contents.types.append(type);
    }

    for (const QStringList &request : requests) {
        const std::optional<QString> type = PasteboardData::firstOffered(request, contents.types);
        if (!type)
            continue;
        std::optional<Reply> reply;
        if (*type == PasteboardType::plainText) {
            for (const QString &target : textTargets()) {
                if (!offered->contains(target))
                    continue;
                reply = convert(offered->value(target), total, &timedOut);
                if (reply && atomName(reply->type) == u"STRING")
                    reply->data = QString::fromLatin1(reply->data).toUtf8();
                break;
            }
        } else {
            reply = convert(offered->value(*type), total, &timedOut);
        }
        if (timedOut) {
            contents.complete = false;
            break;
        }
        if (reply)
            contents.data.insert(*type, reply->data);
    }
    return contents;
}
