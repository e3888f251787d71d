#include "platform/SystemPasteboard.h"

#include "platform/X11SelectionReader.h"
#include "platform/X11SelectionServer.h"
#include "platform/XcbAtom.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QScopedValueRollback>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <utility>

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

// Sees the CLIPBOARD's owner go with nobody after it (its window destroyed, its connection
// closed, or None made the owner), on Qt's connection, whose clipboard asked for these events.
// Qt reports that as a change while it handles the event; the filter sees each event first.
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
        if (!xfixes || !xfixes->present)
            return;
        m_selectionNotify = quint8(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
        m_clipboard = internAtom(m_connection, "CLIPBOARD");
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~OwnerWatch() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    // Whether a change signal now is Qt's report of the owner's going; it is told only once.
    bool takeOwnerLeaving() { return std::exchange(m_leaving, false); }
    bool clipboardHasOwner() const
    {
        if (!m_connection)
            return true;
        xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr);
        const bool owned = !reply || reply->owner != XCB_NONE;
        std::free(reply);
        return owned;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        // Qt's report, if any, comes while it handles the event seen last.
        m_leaving = false;
        if (eventType != "xcb_generic_event_t" || m_clipboard == XCB_ATOM_NONE)
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != m_selectionNotify)
            return false;
        const auto *notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t *>(event);
        if (notify->selection != m_clipboard
            || (notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER
                && notify->owner != XCB_NONE))
            return false;
        m_leaving = true;
        // Told once Qt has taken the event in: its clipboard knows then that it is empty.
        QMetaObject::invokeMethod(
            &m_pasteboard,
            [this] {
                m_leaving = false;
                Q_EMIT m_pasteboard.ownerLeft();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    SystemPasteboard &m_pasteboard;
    xcb_connection_t *m_connection = nullptr;
    quint8 m_selectionNotify = 0;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    bool m_leaving = false;
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
        if (mode != QClipboard::Clipboard)
            return;
        // Neither the contents going with their program nor the same contents back are a change.
        const bool ownerLeaving = m_ownerWatch && m_ownerWatch->takeOwnerLeaving();
        if (!ownerLeaving && !m_restoring)
            ++m_changeCount;
    });
}

SystemPasteboard::~SystemPasteboard() = default;

bool SystemPasteboard::readsInProcess() const
{
    // Without X11 (the offscreen platform of tests) the clipboard lives in this process.
    return QGuiApplication::platformName() != u"xcb" || QGuiApplication::clipboard()->ownsClipboard();
}

bool SystemPasteboard::ownsContents() const
{
    return QGuiApplication::clipboard()->ownsClipboard();
}

QFuture<PasteboardContents> SystemPasteboard::readContents(
    const QList<QStringList> &requests, const PasteboardReadLimits &limits) const
{
    const QMimeData *own
        = readsInProcess() ? QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard) : nullptr;
    // Every form of a long list of files is made from the list on a worker thread.
    if (const auto *list = dynamic_cast<const FileListMimeData *>(own)) {
        return m_executor.run([forms = list->forms(), requests, limits] {
            const FileListMimeData copy(forms);
            return PasteboardData::contentsOfMimeData(&copy, requests, limits);
        });
    }
    if (readsInProcess())
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

void SystemPasteboard::writeContents(std::unique_ptr<QMimeData> contents)
{
    if (contents && contents->hasUrls() && !contents->hasFormat(PasteboardType::gnomeCopiedFiles)) {
        const QList<QUrl> urls = contents->urls();
        if (std::all_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); }))
            contents->setData(PasteboardType::gnomeCopiedFiles, PasteboardData::gnomeCopiedFiles(urls));
    }
    QGuiApplication::clipboard()->setMimeData(contents.release(), QClipboard::Clipboard);
}

void SystemPasteboard::clearContents()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

bool SystemPasteboard::restoreContents(std::unique_ptr<QMimeData> contents, qint64 atChange)
{
    // Another program may have copied since, its change not yet heard of: the server knows.
    if (atChange != m_changeCount || !m_ownerWatch || m_ownerWatch->clipboardHasOwner())
        return false;
    const QScopedValueRollback restoring(m_restoring, true);
    writeContents(std::move(contents));
    return true;
}

bool SystemPasteboard::copyContentsToPrimarySelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *contents = clipboard->mimeData(QClipboard::Clipboard);
    if (!clipboard->supportsSelection() || !clipboard->ownsClipboard() || !contents)
        return false;
    clipboard->setMimeData(PasteboardData::copyOf(*contents).release(), QClipboard::Selection);
    return true;
}
