#include "platform/SystemPasteboard.h"

#include "platform/X11SelectionReader.h"
#include "platform/X11SelectionServer.h"
#include "platform/XcbAtom.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <functional>
#include <optional>

// Takes the requests for a list of files that the toolkit's clipboard holds out of the
// toolkit's hands, on the GUI thread where X events are handled, and gives them to the server.
class SystemPasteboard::FileListRequests final : public QAbstractNativeEventFilter
{
public:
    explicit FileListRequests(X11SelectionServer &server)
        : m_server(server)
    {
        auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
        if (!connection)
            return;
        m_clipboard = internAtom(connection, "CLIPBOARD");
        m_timestamp = internAtom(connection, "TIMESTAMP");
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~FileListRequests() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != XCB_SELECTION_REQUEST)
            return false;
        const auto *request = reinterpret_cast<const xcb_selection_request_event_t *>(event);
        QClipboard::Mode mode = QClipboard::Clipboard;
        if (request->selection == XCB_ATOM_PRIMARY)
            mode = QClipboard::Selection;
        else if (request->selection != m_clipboard || m_clipboard == XCB_ATOM_NONE)
            return false;
        // The toolkit owns the selection and alone knows when it took it.
        if (request->target == m_timestamp && m_timestamp != XCB_ATOM_NONE)
            return false;
        const auto *list
            = dynamic_cast<const FileListMimeData *>(QGuiApplication::clipboard()->mimeData(mode));
        if (!list)
            return false;
        m_server.answer(*request, list->forms());
        return true;
    }

private:
    X11SelectionServer &m_server;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_timestamp = XCB_ATOM_NONE;
};

namespace {

// Holds every other client's requests for its life. The app's other connections to the server
// (the selection reader's, the file-list server's, the shortcuts') are other clients too: nothing
// done under the grab may wait for an answer on one of them, or the app waits for itself for good.
class ServerGrab final
{
public:
    explicit ServerGrab(xcb_connection_t *connection)
        : m_connection(connection)
    {
        xcb_grab_server(m_connection);
    }
    ~ServerGrab()
    {
        xcb_ungrab_server(m_connection);
        xcb_flush(m_connection);
    }
    ServerGrab(const ServerGrab &) = delete;
    ServerGrab &operator=(const ServerGrab &) = delete;

private:
    xcb_connection_t *m_connection;
};

} // namespace

// What the server says of the CLIPBOARD's owner, seen on Qt's connection (whose clipboard asked
// for these reports) before Qt handles each. Qt's own reading of them is not used for the count:
// it ignores a program that takes the clipboard naming the very time Qt last took it (and then
// goes on believing it owns it), while to the server that is a take like any other.
class SystemPasteboard::OwnerWatch final : public QAbstractNativeEventFilter
{
public:
    explicit OwnerWatch(SystemPasteboard &pasteboard)
        : m_pasteboard(pasteboard)
    {
        auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        m_connection = x11 ? x11->connection() : nullptr;
        if (!m_connection)
            return;
        const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
        m_clipboard = internAtom(m_connection, "CLIPBOARD");
        if (!xfixes || !xfixes->present || m_clipboard == XCB_ATOM_NONE)
            return;
        m_selectionNotify = quint8(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        m_resourceBase = setup->resource_id_base;
        m_resourceMask = setup->resource_id_mask;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~OwnerWatch() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    // Without the server's reports (no XFixes), Qt's change signal is all there is.
    bool isWatching() const { return m_selectionNotify != 0; }
    // Whether a window of this process owns the clipboard, as the server says now: Qt may believe
    // it still does after another program took it naming Qt's own time.
    bool appOwnsClipboard() const { return isAppWindow(owner()); }

    // Takes the clipboard that its owner left empty for Qt's window, and has `handOver` give Qt
    // the contents. True when the app owns the clipboard with them afterwards; nothing is handed
    // over when anyone took the clipboard after its owner went.
    bool takeBackLeftClipboard(const std::function<void()> &handOver)
    {
        if (!m_ownerLeftAt || m_toolkitWindow == XCB_NONE)
            return false;
        // Qt takes the clipboard anew for the contents, with its own later time: while the server
        // carries out no other program's request, no copy made meanwhile can be taken over.
        const ServerGrab grab(m_connection);
        if (owner() != XCB_NONE)
            return false;
        // With the time of the owner's going, as the conventions ask (never the current time): the
        // server refuses it when a program took the clipboard since and let go of it again.
        xcb_set_selection_owner(m_connection, m_toolkitWindow, m_clipboard, *m_ownerLeftAt);
        if (owner() != m_toolkitWindow)
            return false;
        handOver();
        return owner() == m_toolkitWindow;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != m_selectionNotify)
            return false;
        const auto *notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t *>(event);
        if (notify->selection != m_clipboard)
            return false;
        // The window Qt's clipboard watches the owner from is the one it serves the clipboard from.
        m_toolkitWindow = notify->window;
        if (notify->subtype != XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER) {
            // Its owner's window or connection went: no change, and nobody holds the clipboard.
            // Told after the event, outside this filter.
            m_ownerLeftAt = notify->timestamp;
            SystemPasteboard *pasteboard = &m_pasteboard;
            const qint64 atChange = pasteboard->m_changeCount;
            QMetaObject::invokeMethod(
                pasteboard, [pasteboard, atChange] { Q_EMIT pasteboard->ownerLeft(atChange); },
                Qt::QueuedConnection);
            return false;
        }
        m_ownerLeftAt.reset();
        // Another program took the clipboard, or cleared it on purpose (None its owner).
        if (!isAppWindow(notify->owner))
            ++m_pasteboard.m_changeCount;
        return false;
    }

private:
    xcb_window_t owner() const
    {
        xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr);
        const xcb_window_t window = reply ? reply->owner : xcb_window_t(XCB_NONE);
        std::free(reply);
        return window;
    }
    // The server makes a client's every window within its own range of identifiers. Qt's
    // clipboard window is named to the app only by the first owner report, which comes after the
    // app's first write: asked about that write before it, a comparison with the window would
    // answer "not ours".
    bool isAppWindow(xcb_window_t window) const
    {
        return window != XCB_NONE && (window & ~m_resourceMask) == m_resourceBase;
    }

    SystemPasteboard &m_pasteboard;
    xcb_connection_t *m_connection = nullptr;
    quint8 m_selectionNotify = 0;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    quint32 m_resourceBase = 0;
    quint32 m_resourceMask = 0;
    xcb_window_t m_toolkitWindow = XCB_NONE;
    // When the last owner went, while nobody took the clipboard since.
    std::optional<xcb_timestamp_t> m_ownerLeftAt;
};

SystemPasteboard::SystemPasteboard(QObject *parent)
    : Pasteboard(parent)
    , m_reader(std::make_unique<X11SelectionReader>())
{
    if (QGuiApplication::platformName() == u"xcb") {
        m_fileListServer = std::make_unique<X11SelectionServer>();
        m_fileListRequests = std::make_unique<FileListRequests>(*m_fileListServer);
        m_ownerWatch = std::make_unique<OwnerWatch>(*this);
    }
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        // The server's reports count other programs' changes, and the app's writes count
        // themselves.
        if (mode == QClipboard::Clipboard && !watchesOwners())
            ++m_changeCount;
    });
}

SystemPasteboard::~SystemPasteboard() = default;

bool SystemPasteboard::watchesOwners() const
{
    return m_ownerWatch && m_ownerWatch->isWatching();
}

bool SystemPasteboard::readsInProcess() const
{
    // Without X11 (the offscreen platform of tests) the clipboard lives in this process.
    return QGuiApplication::platformName() != u"xcb" || ownsContents();
}

bool SystemPasteboard::ownsContents() const
{
    return watchesOwners() ? m_ownerWatch->appOwnsClipboard() : QGuiApplication::clipboard()->ownsClipboard();
}

QFuture<PasteboardContents> SystemPasteboard::readContents(
    const QList<QStringList> &requests, const PasteboardReadLimits &limits) const
{
    const bool inProcess = readsInProcess();
    const QMimeData *own
        = inProcess ? QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard) : nullptr;
    // Every form of a long list of files is made from the list on a worker thread.
    if (const auto *list = dynamic_cast<const FileListMimeData *>(own)) {
        return m_executor.run([forms = list->forms(), requests, limits] {
            const FileListMimeData copy(forms);
            return PasteboardData::contentsOfMimeData(&copy, requests, limits);
        });
    }
    if (inProcess)
        return QtFuture::makeReadyFuture(PasteboardData::contentsOfMimeData(own, requests, limits));
    X11SelectionReader *reader = m_reader.get();
    return m_executor.run([reader, requests, limits] { return reader->read(requests, limits); });
}

QStringList SystemPasteboard::types() const
{
    return readContents({}).result().types;
}

std::optional<QByteArray> SystemPasteboard::data(const QString &type) const
{
    return readContents({ { type } }).result().value(type);
}

void SystemPasteboard::setClipboardContents(std::unique_ptr<QMimeData> contents)
{
    if (contents && contents->hasUrls() && !contents->hasFormat(PasteboardType::gnomeCopiedFiles)) {
        const QList<QUrl> urls = contents->urls();
        if (std::all_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); }))
            contents->setData(PasteboardType::gnomeCopiedFiles, PasteboardData::gnomeCopiedFiles(urls));
    }
    QGuiApplication::clipboard()->setMimeData(contents.release(), QClipboard::Clipboard);
}

void SystemPasteboard::writeContents(std::unique_ptr<QMimeData> contents)
{
    setClipboardContents(std::move(contents));
    if (watchesOwners())
        ++m_changeCount;
}

void SystemPasteboard::clearContents()
{
    // The server reports a clear as it does any program's (the owner made None): it is counted
    // then, when there was anything to clear.
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

bool SystemPasteboard::restoreContents(std::unique_ptr<QMimeData> contents, qint64 atChange)
{
    // A change the app has heard of since; the server knows of those still on their way.
    if (atChange != m_changeCount || !watchesOwners())
        return false;
    return m_ownerWatch->takeBackLeftClipboard([&] { setClipboardContents(std::move(contents)); });
}

bool SystemPasteboard::copyContentsToPrimarySelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *contents = clipboard->mimeData(QClipboard::Clipboard);
    if (!clipboard->supportsSelection() || !ownsContents() || !contents)
        return false;
    clipboard->setMimeData(PasteboardData::copyOf(*contents).release(), QClipboard::Selection);
    return true;
}
