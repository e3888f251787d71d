#include "platform/SystemPasteboard.h"

#include "platform/X11SelectionReader.h"
#include "platform/X11SelectionServer.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

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
    static xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, quint16(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }

    X11SelectionServer &m_server;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_timestamp = XCB_ATOM_NONE;
};

SystemPasteboard::SystemPasteboard(QObject *parent)
    : Pasteboard(parent)
    , m_reader(std::make_unique<X11SelectionReader>())
{
    if (QGuiApplication::platformName() == u"xcb") {
        m_fileListServer = std::make_unique<X11SelectionServer>();
        m_fileListRequests = std::make_unique<FileListRequests>(*m_fileListServer);
    }
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
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

bool SystemPasteboard::copyContentsToPrimarySelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *contents = clipboard->mimeData(QClipboard::Clipboard);
    if (!clipboard->supportsSelection() || !clipboard->ownsClipboard() || !contents)
        return false;
    clipboard->setMimeData(PasteboardData::copyOf(*contents).release(), QClipboard::Selection);
    return true;
}
