#include "RawClipboardOwner.h"

#include "ExternalClipboard.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

RawClipboardOwner::~RawClipboardOwner()
{
    stop();
}

const char *RawClipboardOwner::variable()
{
    return "TINDLEWICK_RAW_CLIPBOARD_OWNER";
}

void RawClipboardOwner::stop()
{
    if (!m_process)
        return;
    m_process->kill();
    m_process->waitForFinished(2000);
    m_process.reset();
}

QJsonArray RawClipboardOwner::targetsJson(const QList<Target> &targets)
{
    QJsonArray list;
    for (const Target &target : targets) {
        list.append(QJsonObject { { QStringLiteral("name"), target.name },
            { QStringLiteral("data"), QString::fromLatin1(target.data.toBase64()) },
            { QStringLiteral("type"), target.type.isEmpty() ? target.name : target.type },
            { QStringLiteral("delay"), target.delayMs }, { QStringLiteral("refuse"), target.refuse } });
    }
    return list;
}

bool RawClipboardOwner::manageClipboard(int msPerForm)
{
    return start(
        QJsonObject { { QStringLiteral("manager"), true }, { QStringLiteral("msPerForm"), msPerForm } });
}

bool RawClipboardOwner::copyAt(quint32 time, const QList<Target> &targets)
{
    return start(QJsonObject {
        { QStringLiteral("targets"), targetsJson(targets) }, { QStringLiteral("time"), qint64(time) } });
}

bool RawClipboardOwner::clear()
{
    return start(QJsonObject { { QStringLiteral("clear"), true } }, "cleared\n");
}

bool RawClipboardOwner::copy(const QList<Target> &targets, int floodTargets, int floodNameBytes)
{
    // Names no owner used before: an X server keeps every name it was given, and so may a reader.
    static int copies = 0;
    const QString floodPrefix
        = QStringLiteral("x-tindlewick-flood-%1-%2-").arg(QCoreApplication::applicationPid()).arg(++copies);
    return start(QJsonObject { { QStringLiteral("targets"), targetsJson(targets) },
        { QStringLiteral("flood"), floodTargets }, { QStringLiteral("floodPrefix"), floodPrefix },
        { QStringLiteral("floodNameBytes"), floodNameBytes } });
}

bool RawClipboardOwner::start(const QJsonObject &instructionsJson, const QByteArray &ready)
{
    stop();
    m_requests.clear();
    m_lines.clear();
    m_pending.clear();
    const QString instructions = m_folder.filePath(QStringLiteral("owner.json"));
    QFile file(instructions);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(instructionsJson).toJson());
    file.close();

    m_process = startClipboardOwner(
        QStringLiteral("RawClipboardOwner.Serve"), variable(), instructions, &m_pending, ready);
    return m_process != nullptr;
}

QStringList RawClipboardOwner::requests()
{
    if (!m_process)
        return m_requests;
    m_pending += m_process->readAllStandardOutput();
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
        const QByteArray line = m_pending.first(end);
        m_pending.remove(0, end + 1);
        m_lines.append(QString::fromUtf8(line));
        if (line.startsWith("request "))
            m_requests.append(QString::fromUtf8(line.sliced(8)));
    }
    return m_requests;
}

QStringList RawClipboardOwner::lines()
{
    requests();
    return m_lines;
}

bool RawClipboardOwner::waitUntilAsked(const QString &target, std::chrono::milliseconds limit)
{
    return waitUntil([&] { return requests().contains(target); }, limit);
}

bool RawClipboardOwner::waitUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit)
{
    QElapsedTimer total;
    total.start();
    QElapsedTimer sinceLast;
    sinceLast.start();
    qsizetype seen = requests().size();
    while (total.elapsed() < limit.count()) {
        waitUntil([] { return false; }, std::chrono::milliseconds(50));
        const qsizetype now = requests().size();
        if (now != seen) {
            seen = now;
            sinceLast.restart();
        } else if (seen > 0 && sinceLast.elapsed() >= quiet.count()) {
            return true;
        }
    }
    return false;
}

namespace {

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

QList<xcb_atom_t> internAll(xcb_connection_t *connection, const QList<QByteArray> &names)
{
    QList<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const QByteArray &name : names)
        cookies.append(xcb_intern_atom(connection, 0, quint16(name.size()), name.constData()));
    QList<xcb_atom_t> atoms;
    atoms.reserve(names.size());
    for (const xcb_intern_atom_cookie_t &cookie : std::as_const(cookies)) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
        atoms.append(reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
    }
    return atoms;
}

// A target the owner offers, as the test program asked for it.
struct ServedTarget
{
    QByteArray name;
    QByteArray data;
    QByteArray typeName;
    xcb_atom_t atom = XCB_ATOM_NONE;
    xcb_atom_t type = XCB_ATOM_NONE;
    int delayMs = 0;
    bool refuse = false;
};

// What the owner offers: the targets written by RawClipboardOwner::copy() and the number of
// made-up ones listed after them, their names' beginning and length.
struct ServeInstructions
{
    QList<ServedTarget> served;
    int flood = 0;
    QByteArray floodPrefix;
    int floodNameBytes = 0;
};

ServeInstructions readServeInstructions(const QJsonObject &root)
{
    ServeInstructions instructions;
    for (const QJsonValue &value : root.value(QStringLiteral("targets")).toArray()) {
        const QJsonObject target = value.toObject();
        ServedTarget entry;
        entry.name = target.value(QStringLiteral("name")).toString().toUtf8();
        entry.data = QByteArray::fromBase64(target.value(QStringLiteral("data")).toString().toLatin1());
        entry.typeName = target.value(QStringLiteral("type")).toString().toUtf8();
        entry.delayMs = target.value(QStringLiteral("delay")).toInt();
        entry.refuse = target.value(QStringLiteral("refuse")).toBool();
        instructions.served.append(entry);
    }
    instructions.flood = root.value(QStringLiteral("flood")).toInt();
    instructions.floodPrefix = root.value(QStringLiteral("floodPrefix")).toString().toUtf8();
    instructions.floodNameBytes = root.value(QStringLiteral("floodNameBytes")).toInt();
    return instructions;
}

// The atoms the owner needs, interned in one round: CLIPBOARD, TARGETS, each target's name
// and type, the flood's names.
struct OwnerAtoms
{
    xcb_atom_t clipboard = XCB_ATOM_NONE;
    xcb_atom_t targets = XCB_ATOM_NONE;
    xcb_atom_t timestamp = XCB_ATOM_NONE;
    // TARGETS' answer: itself, the served targets, the flood.
    QList<xcb_atom_t> offered;
};

OwnerAtoms internOwnerAtoms(xcb_connection_t *connection, ServeInstructions &instructions)
{
    QList<QByteArray> names { "CLIPBOARD", "TARGETS", "TIMESTAMP" };
    for (const ServedTarget &entry : std::as_const(instructions.served)) {
        names.append(entry.name);
        names.append(entry.typeName);
    }
    for (int i = 0; i < instructions.flood; ++i) {
        QByteArray name = instructions.floodPrefix + QByteArray::number(i);
        if (name.size() < instructions.floodNameBytes)
            name += QByteArray(instructions.floodNameBytes - name.size(), 'x');
        names.append(name);
    }
    const QList<xcb_atom_t> atoms = internAll(connection, names);

    OwnerAtoms owner { atoms[0], atoms[1], atoms[2], { atoms[1] } };
    QList<ServedTarget> &served = instructions.served;
    for (qsizetype i = 0; i < served.size(); ++i) {
        served[i].atom = atoms[3 + 2 * i];
        served[i].type = atoms[4 + 2 * i];
        owner.offered.append(served[i].atom);
    }
    for (int i = 0; i < instructions.flood; ++i)
        owner.offered.append(atoms[3 + 2 * served.size() + i]);
    return owner;
}

// The next event of one of the types; nothing once limitMs have passed on the clock or the
// connection broke.
Reply<xcb_generic_event_t> nextEvent(xcb_connection_t *connection, std::initializer_list<quint8> types,
    const QElapsedTimer &clock, qint64 limitMs)
{
    while (clock.elapsed() < limitMs && !xcb_connection_has_error(connection)) {
        if (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            Reply<xcb_generic_event_t> owned(event);
            if (std::find(types.begin(), types.end(), quint8(event->response_type & 0x7F)) != types.end())
                return owned;
            continue;
        }
        pollfd descriptor { xcb_get_file_descriptor(connection), POLLIN, 0 };
        ::poll(&descriptor, 1, 50);
    }
    return nullptr;
}

// The server's time now, as an owner names it when no event of the user's tells it: the time of a
// change to a property of its own window.
xcb_timestamp_t serverTime(xcb_connection_t *connection, xcb_window_t window)
{
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    xcb_change_property(
        connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection);
    QElapsedTimer clock;
    clock.start();
    const Reply<xcb_generic_event_t> event = nextEvent(connection, { XCB_PROPERTY_NOTIFY }, clock, 10'000);
    return event ? reinterpret_cast<xcb_property_notify_event_t *>(event.get())->time
                 : xcb_timestamp_t(XCB_CURRENT_TIME);
}

// A window of its own that owns the clipboard from `time` (0: the server's time now); the window
// is XCB_WINDOW_NONE when the server did not give it.
struct Ownership
{
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_timestamp_t time = XCB_CURRENT_TIME;
};
Ownership takeClipboard(
    xcb_connection_t *connection, int screenNumber, xcb_atom_t clipboard, xcb_timestamp_t time = 0)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screens.data->root_visual, 0, nullptr);
    if (time == 0)
        time = serverTime(connection, window);
    xcb_set_selection_owner(connection, window, clipboard, time);
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, clipboard), nullptr));
    if (!owner || owner->owner != window)
        return {};
    return { window, time };
}

// Tells the requestor the answer is in property (none: refused).
void notifyRequestor(
    xcb_connection_t *connection, const xcb_selection_request_event_t &request, xcb_atom_t property)
{
    xcb_selection_notify_event_t notify {};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(
        connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
    xcb_flush(connection);
}

// Writes the answer to one request into the requestor's property and tells it; the name of the
// target asked for ("?" for one not offered).
QByteArray answerRequest(xcb_connection_t *connection, const xcb_selection_request_event_t &request,
    const OwnerAtoms &atoms, const QList<ServedTarget> &served, xcb_timestamp_t owningSince)
{
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    xcb_atom_t answered = XCB_ATOM_NONE;
    QByteArray name = "?";
    if (request.target == atoms.timestamp) {
        name = "TIMESTAMP";
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_INTEGER,
            32, 1, &owningSince);
        answered = property;
    } else if (request.target == atoms.targets) {
        name = "TARGETS";
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
            quint32(atoms.offered.size()), atoms.offered.constData());
        answered = property;
    } else {
        for (const ServedTarget &entry : served) {
            if (entry.atom != request.target)
                continue;
            name = entry.name;
            if (entry.refuse)
                break;
            // The owner that answers late is what the test plays, not a wait for anything.
            if (entry.delayMs > 0)
                QThread::msleep(entry.delayMs);
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, entry.type, 8,
                quint32(entry.data.size()), entry.data.constData());
            answered = property;
            break;
        }
    }
    notifyRequestor(connection, request, answered);
    return name;
}

// Answers requests, writing down each one, until another owner takes the clipboard, the
// connection breaks or two minutes have passed; true when the connection is still open.
bool serveUntilReplaced(xcb_connection_t *connection, const OwnerAtoms &atoms,
    const QList<ServedTarget> &served, xcb_timestamp_t owningSince)
{
    QElapsedTimer alive;
    alive.start();
    while (const Reply<xcb_generic_event_t> event
        = nextEvent(connection, { XCB_SELECTION_CLEAR, XCB_SELECTION_REQUEST }, alive, 120'000)) {
        if ((event->response_type & 0x7F) == XCB_SELECTION_CLEAR)
            return false;
        const QByteArray name = answerRequest(connection,
            *reinterpret_cast<xcb_selection_request_event_t *>(event.get()), atoms, served, owningSince);
        std::printf("request %s\n", name.constData());
        std::fflush(stdout);
    }
    return !xcb_connection_has_error(connection);
}

// Fetches one target of the clipboard into a property of the window; nothing when the owner
// refused it or did not answer within two seconds.
std::optional<QByteArray> fetchTarget(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t clipboard,
    xcb_atom_t target, xcb_atom_t property)
{
    xcb_convert_selection(connection, window, clipboard, target, property, XCB_CURRENT_TIME);
    xcb_flush(connection);
    QElapsedTimer waited;
    waited.start();
    while (const Reply<xcb_generic_event_t> event
        = nextEvent(connection, { XCB_SELECTION_NOTIFY }, waited, 2000)) {
        const auto *notify = reinterpret_cast<xcb_selection_notify_event_t *>(event.get());
        if (notify->target != target)
            continue;
        if (notify->property == XCB_ATOM_NONE)
            return std::nullopt;
        Reply<xcb_get_property_reply_t> value(xcb_get_property_reply(connection,
            xcb_get_property(connection, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x4000000),
            nullptr));
        if (!value)
            return std::nullopt;
        return QByteArray(static_cast<const char *>(xcb_get_property_value(value.get())),
            xcb_get_property_value_length(value.get()));
    }
    return std::nullopt;
}

// What a clipboard manager saves when asked to: every target the owner lists but those that
// only describe the selection, fetched one after another as the managers of desktops do.
QList<ServedTarget> saveClipboard(xcb_connection_t *connection, xcb_window_t window, int msPerForm)
{
    const QList<xcb_atom_t> atoms = internAll(connection,
        { "CLIPBOARD", "TARGETS", "_TINDLEWICK_SAVED", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE" });
    const std::optional<QByteArray> list = fetchTarget(connection, window, atoms[0], atoms[1], atoms[2]);
    QList<ServedTarget> saved;
    if (!list)
        return saved;
    const auto *targets = reinterpret_cast<const xcb_atom_t *>(list->constData());
    for (qsizetype i = 0; i < list->size() / qsizetype(sizeof(xcb_atom_t)); ++i) {
        if (atoms.mid(1).contains(targets[i]))
            continue;
        Reply<xcb_get_atom_name_reply_t> name(
            xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, targets[i]), nullptr));
        ServedTarget entry;
        entry.name = name
            ? QByteArray(xcb_get_atom_name_name(name.get()), xcb_get_atom_name_name_length(name.get()))
            : QByteArray("?");
        const std::optional<QByteArray> data
            = fetchTarget(connection, window, atoms[0], targets[i], atoms[2]);
        std::printf("fetched %s %lld\n", entry.name.constData(), data ? qlonglong(data->size()) : -1LL);
        std::fflush(stdout);
        // The manager that keeps each form somewhere (its history on disk) is what the test plays.
        if (msPerForm > 0)
            QThread::msleep(msPerForm);
        if (!data)
            continue;
        entry.atom = entry.type = targets[i];
        entry.data = *data;
        saved.append(entry);
    }
    return saved;
}

// A clipboard manager, as desktops run one: it owns CLIPBOARD_MANAGER, saves the clipboard when
// its owner asks (SAVE_TARGETS) before quitting, and serves what it saved once the owner is gone.
void manageClipboard(xcb_connection_t *connection, int screenNumber, int msPerForm)
{
    const QList<xcb_atom_t> atoms
        = internAll(connection, { "CLIPBOARD_MANAGER", "SAVE_TARGETS", "CLIPBOARD" });
    const xcb_window_t window = takeClipboard(connection, screenNumber, atoms[0]).window;
    if (window == XCB_WINDOW_NONE)
        return;
    std::printf("owning\n");
    std::fflush(stdout);
    QList<ServedTarget> saved;
    QElapsedTimer alive;
    alive.start();
    while (saved.isEmpty()) {
        const Reply<xcb_generic_event_t> event
            = nextEvent(connection, { XCB_SELECTION_REQUEST }, alive, 120'000);
        if (!event)
            return;
        const auto request = *reinterpret_cast<xcb_selection_request_event_t *>(event.get());
        const bool save = request.target == atoms[1];
        std::printf("request %s\n", save ? "SAVE_TARGETS" : "?");
        std::fflush(stdout);
        QElapsedTimer took;
        took.start();
        if (save)
            saved = saveClipboard(connection, window, msPerForm);
        notifyRequestor(connection, request, save ? request.property : xcb_atom_t(XCB_ATOM_NONE));
        if (save)
            std::printf("saved in %lld ms\n", qlonglong(took.elapsed()));
        std::fflush(stdout);
    }
    // The owner gone, what it had stays on the clipboard.
    const auto clipboardOwner = [&] {
        Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atoms[2]), nullptr));
        return owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
    };
    while (clipboardOwner() != XCB_WINDOW_NONE && alive.elapsed() < 120'000)
        QThread::msleep(20);
    ServeInstructions instructions;
    instructions.served = saved;
    const OwnerAtoms served = internOwnerAtoms(connection, instructions);
    const Ownership serving = takeClipboard(connection, screenNumber, served.clipboard);
    if (serving.window == XCB_WINDOW_NONE)
        return;
    std::printf("serving\n");
    std::fflush(stdout);
    serveUntilReplaced(connection, served, instructions.served, serving.time);
}

// Makes None the clipboard's owner, as a program does that clears it on purpose, and runs on
// until it is stopped.
void clearClipboard(xcb_connection_t *connection)
{
    const xcb_atom_t clipboard = internAll(connection, { "CLIPBOARD" }).value(0);
    xcb_set_selection_owner(connection, XCB_NONE, clipboard, XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    std::printf("cleared\n");
    std::fflush(stdout);
    // Two minutes at most: no event ends the wait.
    QElapsedTimer alive;
    alive.start();
    (void)nextEvent(connection, {}, alive, 120'000);
    xcb_disconnect(connection);
}

} // namespace

// Not a test of its own: the owner that RawClipboardOwner::copy() starts.
TEST(RawClipboardOwner, Serve)
{
    const QString path = qEnvironmentVariable(RawClipboardOwner::variable());
    if (path.isEmpty())
        GTEST_SKIP() << "runs only as the helper process of RawClipboardOwner";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    ServeInstructions instructions = readServeInstructions(root);

    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    ASSERT_EQ(xcb_connection_has_error(connection), 0);
    if (root.value(QStringLiteral("manager")).toBool()) {
        manageClipboard(connection, screenNumber, root.value(QStringLiteral("msPerForm")).toInt());
        xcb_disconnect(connection);
        return;
    }
    if (root.value(QStringLiteral("clear")).toBool()) {
        clearClipboard(connection);
        return;
    }
    const OwnerAtoms atoms = internOwnerAtoms(connection, instructions);
    const Ownership owning = takeClipboard(connection, screenNumber, atoms.clipboard,
        xcb_timestamp_t(root.value(QStringLiteral("time")).toInteger()));
    std::printf(owning.window == XCB_WINDOW_NONE ? "refused\n" : "owning\n");
    std::fflush(stdout);
    if (owning.window != XCB_WINDOW_NONE
        && serveUntilReplaced(connection, atoms, instructions.served, owning.time))
        xcb_disconnect(connection);
}
