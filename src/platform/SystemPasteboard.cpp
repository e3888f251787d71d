#include "platform/SystemPasteboard.h"

#include "platform/X11SelectionReader.h"

#include <QClipboard>
#include <QGuiApplication>

SystemPasteboard::SystemPasteboard(QObject *parent)
    : Pasteboard(parent)
    , m_reader(std::make_unique<X11SelectionReader>())
{
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
    if (readsInProcess())
        return QtFuture::makeReadyFuture(PasteboardData::contentsOfMimeData(
            QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard), requests, limits));
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
