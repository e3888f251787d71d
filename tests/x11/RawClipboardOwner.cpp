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

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool RawClipboardOwner::copy(const QList<Target> &targets, int floodTargets, int floodNameBytes)
{
    // Names no owner used before: an X server keeps every name it was given, and so may a reader.
    static int copies = 0;
    const QString floodPrefix
        = QStringLiteral("x-tindlewick-flood-%1-%2-").arg(QCoreApplication::applicationPid()).arg(++copies);
    stop();
    m_requests.clear();
    m_pending.clear();
    QJsonArray list;
    for (const Target &target : targets) {
        list.append(QJsonObject { { QStringLiteral("name"), target.name },
            { QStringLiteral("data"), QString::fromLatin1(target.data.toBase64()) },
            { QStringLiteral("type"), target.type.isEmpty() ? target.name : target.type },
            { QStringLiteral("delay"), target.delayMs }, { QStringLiteral("refuse"), target.refuse } });
    }
    const QString instructions = m_folder.filePath(QStringLiteral("owner.json"));
    QFile file(instructions);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(
        QJsonObject { { QStringLiteral("targets"), list }, { QStringLiteral("flood"), floodTargets },
            { QStringLiteral("floodPrefix"), floodPrefix },
            { QStringLiteral("floodNameBytes"), floodNameBytes } })
                   .toJson());
    file.close();

    m_process = startClipboardOwner(
        QStringLiteral("RawClipboardOwner.Serve"), variable(), instructions, &m_pending);
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
        if (line.startsWith("request "))
            m_requests.append(QString::fromUtf8(line.sliced(8)));
    }
    return m_requests;
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
    // TARGETS' answer: itself, the served targets, the flood.
    QList<xcb_atom_t> offered;
};

OwnerAtoms internOwnerAtoms(xcb_connection_t *connection, ServeInstructions &instructions)
{
    QList<QByteArray> names { "CLIPBOARD", "TARGETS" };
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

    OwnerAtoms owner { atoms[0], atoms[1], { atoms[1] } };
    QList<ServedTarget> &served = instructions.served;
    for (qsizetype i = 0; i < served.size(); ++i) {
        served[i].atom = atoms[2 + 2 * i];
        served[i].type = atoms[3 + 2 * i];
        owner.offered.append(served[i].atom);
    }
    for (int i = 0; i < instructions.flood; ++i)
        owner.offered.append(atoms[2 + 2 * served.size() + i]);
    return owner;
}

// A window of its own that owns the clipboard; XCB_WINDOW_NONE when the server did not give it.
xcb_window_t takeClipboard(xcb_connection_t *connection, int screenNumber, xcb_atom_t clipboard)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screens.data->root_visual, 0, nullptr);
    xcb_set_selection_owner(connection, window, clipboard, XCB_CURRENT_TIME);
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, clipboard), nullptr));
    return owner && owner->owner == window ? window : xcb_window_t(XCB_WINDOW_NONE);
}

// Writes the answer to one request into the requestor's property and tells it; the name of the
// target asked for ("?" for one not offered).
QByteArray answerRequest(xcb_connection_t *connection, const xcb_selection_request_event_t &request,
    const OwnerAtoms &atoms, const QList<ServedTarget> &served)
{
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    xcb_atom_t answered = XCB_ATOM_NONE;
    QByteArray name = "?";
    if (request.target == atoms.targets) {
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
    xcb_selection_notify_event_t notify {};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered;
    xcb_send_event(
        connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
    xcb_flush(connection);
    return name;
}

// Answers requests, writing down each one, until another owner takes the clipboard, the
// connection breaks or two minutes have passed; true when the connection is still open.
bool serveUntilReplaced(
    xcb_connection_t *connection, const OwnerAtoms &atoms, const QList<ServedTarget> &served)
{
    QElapsedTimer alive;
    alive.start();
    while (alive.elapsed() < 120'000) {
        pollfd descriptor { xcb_get_file_descriptor(connection), POLLIN, 0 };
        ::poll(&descriptor, 1, 200);
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const Reply<xcb_generic_event_t> owned(event);
            const quint8 type = event->response_type & 0x7F;
            if (type == XCB_SELECTION_CLEAR)
                return false;
            if (type != XCB_SELECTION_REQUEST)
                continue;
            const QByteArray name = answerRequest(
                connection, *reinterpret_cast<xcb_selection_request_event_t *>(event), atoms, served);
            std::printf("request %s\n", name.constData());
            std::fflush(stdout);
        }
        if (xcb_connection_has_error(connection))
            return false;
    }
    return true;
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
    ServeInstructions instructions = readServeInstructions(QJsonDocument::fromJson(file.readAll()).object());

    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    ASSERT_EQ(xcb_connection_has_error(connection), 0);
    const OwnerAtoms atoms = internOwnerAtoms(connection, instructions);
    ASSERT_NE(takeClipboard(connection, screenNumber, atoms.clipboard), xcb_window_t(XCB_WINDOW_NONE));
    std::printf("owning\n");
    std::fflush(stdout);

    if (serveUntilReplaced(connection, atoms, instructions.served))
        xcb_disconnect(connection);
}
