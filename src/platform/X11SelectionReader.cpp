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
        return m_window != 0 || createWindow();
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
    m_root = screens.data->root;
    m_rootVisual = screens.data->root_visual;
    m_clipboard = atom(QStringLiteral("CLIPBOARD"));
    m_property = atom(QStringLiteral("TINDLEWICK_SELECTION"));
    m_incr = atom(QStringLiteral("INCR"));
    m_targets = atom(QStringLiteral("TARGETS"));
    return m_clipboard && m_property && m_incr && m_targets && createWindow();
}

bool X11SelectionReader::createWindow()
{
    m_window = xcb_generate_id(m_connection);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, m_rootVisual, XCB_CW_EVENT_MASK, &eventMask);
    xcb_flush(m_connection);
    return !xcb_connection_has_error(m_connection);
}

void X11SelectionReader::abandonTransfer()
{
    xcb_destroy_window(m_connection, m_window);
    m_window = 0;
    xcb_flush(m_connection);
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
    const Deadline unbounded(std::chrono::hours(1));
    return atomNames(&atom, 1, unbounded).value(0);
}

QStringList X11SelectionReader::atomNames(const xcb_atom_t *atoms, qsizetype count, const Deadline &total)
{
    // An owner that makes up new names at every copy must not grow the cache without end.
    if (m_namesByAtom.size() > 20 * maxTargets) {
        m_namesByAtom.clear();
        m_atomsByName.clear();
        m_atomsByName.insert(QStringLiteral("CLIPBOARD"), m_clipboard);
        m_atomsByName.insert(QStringLiteral("TINDLEWICK_SELECTION"), m_property);
        m_atomsByName.insert(QStringLiteral("INCR"), m_incr);
        m_atomsByName.insert(QStringLiteral("TARGETS"), m_targets);
    }
    QStringList names(count);
    QList<qsizetype> unknown;
    for (qsizetype i = 0; i < count; ++i) {
        if (const auto it = m_namesByAtom.constFind(atoms[i]); it != m_namesByAtom.constEnd())
            names[i] = *it;
        else
            unknown.append(i);
    }
    // Owners may name thousands of atoms that were never seen before: one round trip each
    // would take seconds, so a batch of questions goes out before the first answer is awaited.
    // A name may also be 64 KB long, and a thousand of them would take a second and 128 MB:
    // once the names of one reading come to maxNameBytesPerReading, no more are asked for.
    qsizetype received = 0;
    for (qsizetype start = 0; start < unknown.size() && received < maxNameBytesPerReading;
         start += nameBatch) {
        const qsizetype end = std::min(unknown.size(), start + nameBatch);
        QList<xcb_get_atom_name_cookie_t> cookies;
        for (qsizetype i = start; i < end; ++i)
            cookies.append(xcb_get_atom_name(m_connection, atoms[unknown[i]]));
        for (qsizetype i = start; i < end; ++i) {
            XcbReply<xcb_get_atom_name_reply_t> reply(
                xcb_get_atom_name_reply(m_connection, cookies[i - start], nullptr));
            const int length = reply ? xcb_get_atom_name_name_length(reply.get()) : 0;
            received += length;
            // Past the deadline the remaining answers are still collected (xcb keeps them
            // otherwise) but no longer used; a name longer than any type is no type that a
            // program reads, and is neither listed nor kept.
            if (!reply || total.remaining().count() == 0 || length > maxTypeNameBytes)
                continue;
            const QString name = QString::fromUtf8(xcb_get_atom_name_name(reply.get()), length);
            m_namesByAtom.insert(atoms[unknown[i]], name);
            m_atomsByName.insert(name, atoms[unknown[i]]);
            names[unknown[i]] = name;
        }
    }
    return names;
}

X11SelectionReader::Outcome X11SelectionReader::convert(
    xcb_atom_t target, const Deadline &total, qsizetype maxBytes, Reply *reply)
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
    if (!event)
        return Outcome::timedOut;
    if (reinterpret_cast<xcb_selection_notify_event_t *>(event.get())->property == XCB_ATOM_NONE)
        return Outcome::refused;

    // The size first: a value larger than allowed is never fetched.
    XcbReply<xcb_get_property_reply_t> header(xcb_get_property_reply(m_connection,
        xcb_get_property(m_connection, 0, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
    if (!header)
        return Outcome::refused;
    if (header->type != m_incr && maxBytes >= 0 && qsizetype(header->bytes_after) > maxBytes) {
        xcb_delete_property(m_connection, m_window, m_property);
        return Outcome::tooLarge;
    }
    // Reading with delete set also tells an incremental sender to start.
    XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(m_connection,
        xcb_get_property(m_connection, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1FFFFFFF),
        nullptr));
    if (!property)
        return Outcome::refused;
    if (property->type == m_incr) {
        // The owner announces a lower bound of the size it will send.
        qsizetype announced = 0;
        if (xcb_get_property_value_length(property.get()) >= 4)
            announced = qsizetype(*static_cast<const quint32 *>(xcb_get_property_value(property.get())));
        return readIncrementally(total, maxBytes, announced, reply);
    }
    reply->type = property->type;
    reply->data = QByteArray(static_cast<const char *>(xcb_get_property_value(property.get())),
        xcb_get_property_value_length(property.get()));
    return Outcome::answered;
}

X11SelectionReader::Outcome X11SelectionReader::readIncrementally(
    const Deadline &total, qsizetype maxBytes, qsizetype announced, Reply *reply)
{
    if (maxBytes >= 0 && announced > maxBytes) {
        abandonTransfer();
        return Outcome::tooLarge;
    }
    const auto isNewChunk = [&](xcb_generic_event_t *event) {
        if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
        return notify->window == m_window && notify->atom == m_property
            && notify->state == XCB_PROPERTY_NEW_VALUE;
    };
    reply->data.clear();
    // Grown once instead of doubling its way there (at most to the limit, checked above).
    reply->data.reserve(announced);
    for (;;) {
        XcbReply<xcb_generic_event_t> event(
            waitForEvent(m_connection, isNewChunk, m_timeouts.response, total.remaining()));
        if (!event) {
            abandonTransfer();
            return Outcome::timedOut;
        }
        XcbReply<xcb_get_property_reply_t> chunk(xcb_get_property_reply(m_connection,
            xcb_get_property(m_connection, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1FFFFFFF),
            nullptr));
        if (!chunk) {
            abandonTransfer();
            return Outcome::refused;
        }
        const int length = xcb_get_property_value_length(chunk.get());
        if (length == 0)
            return Outcome::answered; // an empty chunk ends the transfer
        if (maxBytes >= 0 && reply->data.size() + length > maxBytes) {
            abandonTransfer();
            reply->data.clear();
            return Outcome::tooLarge;
        }
        reply->type = chunk->type;
        reply->data.append(static_cast<const char *>(xcb_get_property_value(chunk.get())), length);
    }
}

X11SelectionReader::Outcome X11SelectionReader::targets(
    QHash<QString, xcb_atom_t> *byName, QStringList *order, const Deadline &total)
{
    Reply reply;
    // Even a flood of targets is a few hundred kilobytes of atoms.
    const Outcome outcome = convert(m_targets, total, 4 * 1024 * 1024, &reply);
    if (outcome != Outcome::answered)
        return outcome;
    const auto *atoms = reinterpret_cast<const xcb_atom_t *>(reply.data.constData());
    const qsizetype count = std::min(reply.data.size() / qsizetype(sizeof(xcb_atom_t)), maxTargets);
    const QStringList names = atomNames(atoms, count, total);
    if (total.remaining().count() == 0)
        return Outcome::timedOut;
    for (qsizetype i = 0; i < count; ++i) {
        const QString &name = names[i];
        if (isProtocolTarget(name) || byName->contains(name))
            continue;
        byName->insert(name, atoms[i]);
        order->append(name);
    }
    return Outcome::answered;
}

PasteboardContents X11SelectionReader::read(
    const QList<QStringList> &requests, const PasteboardReadLimits &limits)
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
    QHash<QString, xcb_atom_t> offered;
    QStringList targetOrder;
    const Outcome listed = targets(&offered, &targetOrder, total);
    if (listed != Outcome::answered) {
        contents.complete = listed == Outcome::refused;
        return contents;
    }
    for (const QString &name : std::as_const(targetOrder)) {
        const QString type = isTextTarget(name) ? PasteboardType::plainText : name;
        if (!contents.types.contains(type))
            contents.types.append(type);
    }

    for (const QStringList &request : requests) {
        const std::optional<QString> type = PasteboardData::firstOffered(request, contents.types);
        if (!type)
            continue;
        Reply reply;
        Outcome outcome = Outcome::refused;
        if (*type == PasteboardType::plainText) {
            for (const QString &target : textTargets()) {
                if (!offered.contains(target))
                    continue;
                outcome = convert(offered.value(target), total, limits.forType(*type), &reply);
                if (outcome == Outcome::answered && atomName(reply.type) == u"STRING")
                    reply.data = QString::fromLatin1(reply.data).toUtf8();
                break;
            }
        } else {
            outcome = convert(offered.value(*type), total, limits.forType(*type), &reply);
        }
        if (outcome == Outcome::timedOut) {
            contents.complete = false;
            break;
        }
        if (outcome == Outcome::tooLarge) {
            contents.oversized.append(*type);
            break;
        }
        if (outcome == Outcome::answered)
            contents.data.insert(*type, reply.data);
    }
    return contents;
}
