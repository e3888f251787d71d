#include "shell/PasteService.h"

#include "capture/CaptureLimits.h"
#include "capture/ClipboardMonitor.h"
#include "capture/ImageExtraction.h"
#include "common/ByteLines.h"
#include "common/Diagnostics.h"
#include "common/StrictText.h"
#include "common/ThenWhileAlive.h"
#include "model/ClipboardItem.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "platform/ClipboardRequests.h"
#include "platform/FilePaths.h"
#include "platform/ImageLimits.h"
#include "platform/PasteKeystroke.h"
#include "platform/Pasteboard.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/UserFiles.h"
#include "platform/Workspace.h"
#include "shell/FrontWindow.h"

#include <QBuffer>
#include <QColor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

QPointer<PasteService> g_shared;

const QString pasteByHand
    = QStringLiteral(" The item is on the clipboard and the primary selection: paste it with Control+V; in a "
                     "terminal with Control+Shift+V, or with Shift+Insert in xterm, urxvt and st.");

// Clipboard contents whose colour flavour answers both ways: as the 16-bit RGBA bytes
// other programs read, and as a colour for Qt's own conversion when the clipboard serves it.
// A long list of files is kept as the bytes it is served as: QMimeData would hold it as one
// URL object per file (and make the bytes again for every program that asks).
class OutgoingMimeData final : public QMimeData
{
public:
    void setColor(const QColor &color, const QByteArray &bytes)
    {
        m_color = color;
        setData(PasteboardType::color, bytes);
    }

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override
    {
        if (mimeType == PasteboardType::color && type.id() == QMetaType::QColor && m_color.isValid())
            return m_color;
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    QColor m_color;
};

// Red, green, blue, alpha as unsigned 16-bit numbers in this machine's byte order, the
// form the colour flavour has on X11 (format 16).
QByteArray colorBytes(const QColor &color)
{
    const std::array<quint16, 4> channels { quint16(color.redF() * 0xffff), quint16(color.greenF() * 0xffff),
        quint16(color.blueF() * 0xffff), quint16(color.alphaF() * 0xffff) };
    return QByteArray(reinterpret_cast<const char *>(channels.data()), sizeof(channels));
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        return {};
    return bytes;
}

bool isPng(const QByteArray &bytes)
{
    return bytes.startsWith("\x89PNG\r\n\x1a\n");
}

} // namespace

// Decided from the header before anything is decoded, so that a picture too large for that
// is never tried.
bool PasteService::PendingImage::isDecodable() const
{
    const std::optional<QSize> size = ImageLimits::sizeOf(bytes);
    return size && ImageLimits::isDecodable(*size);
}

PasteService::PendingImage::Encoded PasteService::PendingImage::encode() const
{
    const QImage image = ImageExtraction::decodeImage(bytes);
    if (image.isNull())
        return {};
    Encoded result;
    result.png = isPng(bytes) ? bytes : encoded(image, "png");
    if (!result.png.isEmpty() && QImageWriter::supportedImageFormats().contains("tiff"))
        result.tiff = encoded(image, "tiff");
    return result;
}

namespace {

// File URLs as file managers exchange them.
void addFileURLs(QMimeData &contents, const QList<QUrl> &urls)
{
    contents.setUrls(urls);
    QByteArray copied = "copy";
    for (const QUrl &url : urls)
        copied += '\n' + url.toEncoded();
    contents.setData(PasteboardType::gnomeCopiedFiles, copied);
}

bool existsAsFile(const QUrl &url)
{
    return url.isLocalFile() && FilePaths::exists(FilePaths::ofUrl(url));
}

// One step of the pinned reference: the item whose content is written.
const ClipboardItem &contentSource(const ClipboardItem &item)
{
    const ClipboardItemPtr reference = item.pinnedReference();
    return reference ? *reference : item;
}

bool buildText(OutgoingMimeData &contents, const ClipboardItem &source, bool plainTextOnly)
{
    bool wrote = false;
    if (const std::optional<QString> text = source.fullText()) {
        contents.setText(*text);
        wrote = true;
    }
    if (!plainTextOnly) {
        if (const std::optional<QString> html = source.htmlContent()) {
            contents.setHtml(*html);
            wrote = true;
        }
    }
    return wrote;
}

bool buildColor(OutgoingMimeData &contents, const ClipboardItem &source)
{
    bool wrote = false;
    std::optional<QString> text = source.fullText();
    if (!text)
        text = source.colorHex();
    if (text) {
        contents.setText(*text);
        wrote = true;
    }
    const std::optional<Color> color = source.colorValue();
    if (!color)
        return wrote;
    const std::optional<Color> srgb = color->converted(Color::Space::sRGB);
    if (!srgb)
        return wrote;
    const QColor qcolor = QColor::fromRgbF(float(srgb->red()), float(srgb->green()), float(srgb->blue()),
        float(std::clamp(srgb->alpha(), 0.0, 1.0)));
    contents.setColor(qcolor, colorBytes(qcolor));
    return true;
}

} // namespace

PasteService::PendingFiles::Written PasteService::PendingFiles::check() const
{
    std::optional<QByteArray> lines = further;
    if (!lines && store) {
        // A look of this thread's own at the store: the main thread never reads the list.
        const std::unique_ptr<ModelContext> context = store->makeContext();
        if (const ClipboardItemPtr stored = context->model(item))
            lines = stored->additionalFileURLList();
    }
    QByteArray found;
    const auto add = [&](const QUrl &url) {
        if (url.isValid() && existsAsFile(url))
            found += url.toEncoded() + '\n';
    };
    if (first)
        add(*first);
    if (lines)
        forEachByteLine(*lines, [&](QByteArrayView line) { add(QUrl(QString::fromUtf8(line))); });
    return { std::make_shared<const FileListForms>(std::move(found)) };
}

namespace {

// A list that the item holds only the first of: where the rest is.
PasteService::PendingFiles longFileList(const ClipboardItem &source)
{
    PasteService::PendingFiles files;
    if (const auto resolved = source.resolveFileURL())
        files.first = resolved->first;
    const ClipboardItem &owner = source.referenceChainEnd();
    ModelContext *context = owner.isDeleted() ? nullptr : owner.modelContext();
    if (context && owner.persistentModelID().value > 0) {
        files.store = context->container();
        files.item = owner.persistentModelID();
    } else {
        files.further = owner.additionalFileURLList();
    }
    return files;
}

bool buildFiles(OutgoingMimeData &contents, const ClipboardItem &source,
    std::optional<PasteService::PendingImage> *image, std::optional<PasteService::PendingFiles> *files)
{
    const std::optional<QStringList> held = source.additionalFileURLStrings();
    if ((held ? held->size() : 0) < source.additionalFileTotal()) {
        *files = longFileList(source);
        return true;
    }
    QList<QUrl> urls;
    if (const auto resolved = source.resolveFileURL(); resolved && existsAsFile(resolved->first))
        urls.append(resolved->first);
    for (const QString &string : source.additionalFileURLStrings().value_or(QStringList())) {
        const QUrl url(string);
        if (url.isValid() && existsAsFile(url))
            urls.append(url);
    }
    if (urls.isEmpty())
        return false;
    // The file is read, and the picture judged, on a worker; one that cannot be had is
    // pasted as the file after all.
    if (urls.size() == 1 && PasteService::isImageFile(urls.first())) {
        const QString path = FilePaths::ofUrl(urls.first());
        *image = PasteService::PendingImage { {}, path };
        contents.setText(FilePaths::forDisplay(path));
        return true;
    }
    addFileURLs(contents, urls);
    return true;
}

bool buildMedia(
    OutgoingMimeData &contents, const ClipboardItem &source, std::optional<PasteService::PendingImage> *image)
{
    if (const auto resolved = source.resolveFileURL()) {
        const auto &[url, scopedAccess] = *resolved;
        if (scopedAccess) {
            addFileURLs(contents, { url });
        } else {
            contents.setUrls({ url });
            contents.setText(url.isLocalFile() ? FilePaths::forDisplay(FilePaths::ofUrl(url)) : url.path());
        }
        return true;
    }
    const ClipboardItem &imageSource = contentSource(source);
    std::optional<QByteArray> bytes = imageSource.mediaImageData();
    if (!bytes)
        bytes = imageSource.mediaThumbnailData();
    if (!bytes || source.mediaSubtype() != MediaSubtype::image)
        return false;
    PasteService::PendingImage picture { *bytes, {} };
    if (!picture.isDecodable())
        return false;
    *image = picture;
    return true;
}

} // namespace

PasteService::PasteService(
    Pasteboard &pasteboard, SyntheticKeyboard &keyboard, Workspace &workspace, QObject *parent)
    : QObject(parent)
    , m_pasteboard(pasteboard)
    , m_keyboard(keyboard)
    , m_workspace(workspace)
{
    g_shared = this;
}

PasteService::~PasteService() = default;

PasteService *PasteService::shared()
{
    return g_shared.data();
}

PasteService::Outgoing PasteService::outgoingFor(const ClipboardItem &item, bool plainTextOnly)
{
    const ClipboardItem &source = contentSource(item);
    auto contents = std::make_unique<OutgoingMimeData>();
    std::optional<PendingImage> image;
    std::optional<PendingFiles> files;
    bool wrote = false;
    switch (source.type()) {
    case ClipboardItemType::text:
    case ClipboardItemType::link:
    case ClipboardItemType::code:
        wrote = buildText(*contents, source, plainTextOnly);
        break;
    case ClipboardItemType::color:
        wrote = buildColor(*contents, source);
        break;
    case ClipboardItemType::file:
        wrote = buildFiles(*contents, source, &image, &files);
        break;
    case ClipboardItemType::media:
        wrote = buildMedia(*contents, source, &image);
        break;
    }
    if (!wrote || (contents->formats().isEmpty() && !image && !files))
        return {};
    return { std::move(contents), image, files };
}

bool PasteService::copyToPasteboard(const ClipboardItemPtr &item, bool plainTextOnly)
{
    if (!item)
        return false;
    Outgoing outgoing = outgoingFor(*item, plainTextOnly);
    if (!outgoing.contents)
        return false;
    startWrite();
    write(std::move(outgoing));
    return true;
}

void PasteService::restoreToPasteboard(const ClipboardItemPtr &item)
{
    if (!item || m_pendingContents)
        return;
    Outgoing outgoing = outgoingFor(*item, false);
    if (!outgoing.contents)
        return;
    startWrite();
    m_restoreAt = m_pasteboard.changeCount();
    write(std::move(outgoing));
}

void PasteService::write(Outgoing outgoing)
{
    if (!outgoing.image && !outgoing.files) {
        writeOwnContents(std::move(outgoing.contents));
        return;
    }
    // The rest is made ready on a worker thread and written when it is.
    m_pendingContents = std::move(outgoing.contents);
    if (outgoing.image)
        writeWhenReady(*outgoing.image);
    else
        writeWhenReady(*outgoing.files);
}

void PasteService::writeWhenReady(const PendingImage &image)
{
    const quint64 generation = m_writeGeneration;
    const QString file = image.filePath;
    const QFuture<PendingImage::Encoded> ready = file.isEmpty()
        ? QtConcurrent::run([image] { return image.encode(); })
        : UserFiles::shared()
              .run(file, imageFileReadLimit,
                  [file] { return UserFiles::readRegular(file, CaptureLimits::maxImageBytes); })
              .then(QtFuture::Launch::Async, [](const std::optional<QByteArray> &bytes) {
                  return bytes ? PendingImage { *bytes, {} }.encode() : PendingImage::Encoded {};
              });
    thenWhileAlive(ready, this, [this, generation, file](const PendingImage::Encoded &encoded) {
        finishPendingWrite(
            generation,
            [&](std::unique_ptr<QMimeData> contents) {
                if (!encoded.png.isEmpty()) {
                    if (!encoded.tiff.isEmpty())
                        contents->setData(PasteboardType::tiff, encoded.tiff);
                    contents->setData(PasteboardType::png, encoded.png);
                } else if (!file.isEmpty()) {
                    // An image file that gives no picture is pasted as the file.
                    contents->removeFormat(PasteboardType::plainText);
                    addFileURLs(*contents, { FilePaths::toUrl(file) });
                } else {
                    return false;
                }
                writeOwnContents(std::move(contents));
                return true;
            },
            QStringLiteral("The picture could not be read, so the clipboard was left as it was."));
    });
}

void PasteService::writeWhenReady(const PendingFiles &files)
{
    const quint64 generation = m_writeGeneration;
    // Each file is looked for on disk, which may hang on a network mount: through UserFiles.
    const QString named = files.first ? FilePaths::ofUrl(*files.first) : QStringLiteral("a list of files");
    const QFuture<std::optional<PendingFiles::Written>> checked = UserFiles::shared().run(
        named, fileListCheckLimit, [files] { return std::optional<PendingFiles::Written>(files.check()); });
    thenWhileAlive(checked, this, [this, generation](const std::optional<PendingFiles::Written> &written) {
        finishPendingWrite(
            generation,
            [&](std::unique_ptr<QMimeData>) {
                if (!written || written->count() == 0)
                    return false;
                writeOwnContents(std::make_unique<FileListMimeData>(written->files));
                return true;
            },
            written ? QStringLiteral(
                "None of the item's files is there any more, so the clipboard was left as it was.")
                    : QStringLiteral(
                        "The item's files could not be looked for in time, so the clipboard was left "
                        "as it was."));
    });
}

void PasteService::copyStringToPasteboard(const QString &text)
{
    startWrite();
    auto contents = std::make_unique<QMimeData>();
    contents->setText(text);
    writeOwnContents(std::move(contents));
}

// A new write replaces one still waiting for its picture, and with it the keystrokes that
// waited for that picture: the one of the new write follows.
void PasteService::startWrite()
{
    ++m_writeGeneration;
    m_pendingContents.reset();
    m_keystrokesAwaitingWrite = 0;
    m_unwrittenBecause.clear();
    m_wrotePictureOnly = false;
    m_restoreAt.reset();
}

void PasteService::writeOwnContents(std::unique_ptr<QMimeData> contents)
{
    const QStringList formats = contents->formats();
    m_wrotePictureOnly = !formats.isEmpty()
        && std::all_of(formats.cbegin(), formats.cend(),
            [](const QString &format) { return format.startsWith(QLatin1String("image/")); });
    if (m_restoreAt) {
        if (m_pasteboard.restoreContents(std::move(contents), *m_restoreAt))
            printDiagnostic(QStringLiteral("[PasteService] The program that made the newest copy let go of "
                                           "the clipboard: the copy is served from the history"));
        return;
    }
    // The app's own write is no new copy for the history.
    if (ClipboardMonitor *monitor = ClipboardMonitor::shared())
        monitor->setIgnoreNextChange(true);
    m_pasteboard.writeContents(std::move(contents));
}

void PasteService::finishPendingWrite(quint64 generation,
    const std::function<bool(std::unique_ptr<QMimeData> contents)> &write, const QString &whyNothing)
{
    // A later write replaced this one while it was being made ready.
    if (generation != m_writeGeneration)
        return;
    const bool wrote = write(std::move(m_pendingContents));
    if (!wrote)
        m_unwrittenBecause = whyNothing;
    const int keystrokes = std::exchange(m_keystrokesAwaitingWrite, 0);
    Q_EMIT pendingContentsWritten(wrote);
    // Nothing written is told once, however many keystrokes waited.
    for (int i = 0; i < (wrote ? keystrokes : std::min(keystrokes, 1)); ++i)
        sendPasteOnceAway(m_clock->now() + focusReturnWait);
}

void PasteService::simulatePaste()
{
    // A write still being made ready, or one that wrote nothing after all: the keystroke
    // would paste what the clipboard held before it.
    if (m_pendingContents && m_keyboard.isTrusted()) {
        ++m_keystrokesAwaitingWrite;
        return;
    }
    sendPasteOnceAway(m_clock->now() + focusReturnWait);
}

Qt::KeyboardModifiers PasteService::queryKeyboardModifiers() const
{
    return QGuiApplication::queryKeyboardModifiers();
}

void PasteService::sendPasteOnceAway(Clock::TimePoint deadline)
{
    // The panel opened over no other program's window: the window the window manager focuses as
    // it hides is nobody's choice.
    const std::optional<RunningApplication> chosen = m_shownOver ? m_shownOver() : std::nullopt;
    if (m_shownOver && !chosen) {
        tellWhyNotPasted(
            QStringLiteral("No other program's window was in front when the panel opened."), false);
        return;
    }
    // Checked at the last moment: the window may have closed, or gone to another desktop, while
    // the panel was open, and the window manager then focuses another one as the panel hides.
    if (const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
        front && isChosenWindow(*front, chosen)) {
        // A write that wrote nothing after all is told of now, so that the notice leaves the focus
        // where the paste was to go.
        if (m_keyboard.isTrusted() && m_unwrittenBecause.isEmpty())
            sendKeystrokeTo(*front);
        else
            tellWhyNotPasted({}, true);
        return;
    }
    // The panel has just handed the focus back, and the window manager moves it a moment
    // later: the keystroke waits for it a little.
    if (m_clock->now() < deadline) {
        m_clock->runAfter(focusPollInterval, this, [this, deadline] { sendPasteOnceAway(deadline); });
        return;
    }
    tellWhyNotPasted(QStringLiteral("The window the panel was opened over did not get the focus back (it was "
                                    "closed, hidden or moved to another desktop)."),
        false);
}

// The window the panel was shown over, or a dialog of it, and only while the user sees it; any
// other program's window where nobody says which was shown over.
bool PasteService::isChosenWindow(
    const RunningApplication &front, const std::optional<RunningApplication> &chosen) const
{
    if (front.isCurrentApplication() || !m_workspace.isShown(front.windowId))
        return false;
    if (!chosen)
        return true;
    // A window of a program that has quit may be numbered as one of a program started since.
    if (front.windowId == chosen->windowId)
        return front.processIdentifier == chosen->processIdentifier;
    quint64 window = front.windowId;
    for (int depth = 0; depth < maxDialogDepth; ++depth) {
        window = m_workspace.transientFor(window);
        if (!window)
            return false;
        if (window == chosen->windowId)
            return true;
    }
    return false;
}

void PasteService::sendKeystrokeTo(const RunningApplication &target)
{
    const PasteKeystroke keystroke = PasteKeystrokes::forApplication(target);
    // The X terminals paste the PRIMARY selection: it gets what the clipboard holds.
    if (PasteKeystrokes::pastesPrimarySelection(keystroke))
        offerToPrimarySelection();
    // Followed before the keystroke goes, so that not even the quickest request is missed.
    if (m_wrotePictureOnly)
        watchPictureTaken(target);
    QString error;
    if (m_keyboard.sendPaste(keystroke, &error))
        return;
    stopWatchingPicture();
    offerToPrimarySelection();
    tellNothingPasted(QStringLiteral("The paste keystroke (%1) could not be sent: %2.")
                          .arg(PasteKeystrokes::displayName(keystroke), error)
            + pasteByHand,
        true);
}

// The X terminals paste the PRIMARY selection on Shift+Insert and a middle click.
void PasteService::offerToPrimarySelection()
{
    if (!m_pasteboard.copyContentsToPrimarySelection())
        printDiagnostic(QStringLiteral("[PasteService] The PRIMARY selection could not be given the item"));
}

void PasteService::setClipboardRequests(ClipboardRequests *requests)
{
    if (m_requests)
        disconnect(m_requests, nullptr, this, nullptr);
    m_requests = requests;
    if (!m_requests)
        return;
    connect(m_requests, &ClipboardRequests::requested, this, [this](const QString &form) {
        if (!m_formsRequested.contains(form))
            m_formsRequested.append(form);
    });
}

// A window that takes no picture (a terminal, a text editor) asks for text, or for nothing, and
// the paste does nothing. The log says which forms it asked for; the user is not interrupted
// (the picture stays on the clipboard, and the keys typed on go to the window).
void PasteService::watchPictureTaken(const RunningApplication &target)
{
    if (!m_requests)
        return;
    const quint64 paste = ++m_watchedPicturePaste;
    m_formsRequested.clear();
    m_requests->follow(target.windowId);
    const QString program = target.windowClass.isEmpty() ? target.localizedName : target.windowClass;
    m_clock->runAfter(pictureRequestWait, this, [this, paste, program] {
        if (paste != m_watchedPicturePaste)
            return;
        stopWatchingPicture();
        if (std::any_of(m_formsRequested.cbegin(), m_formsRequested.cend(),
                [](const QString &form) { return form.startsWith(QLatin1String("image/")); }))
            return;
        printDiagnostic(QStringLiteral("[PasteService] %1 asked for none of the picture's forms (%2)")
                            .arg(program.isEmpty() ? QStringLiteral("The window in front") : program,
                                m_formsRequested.isEmpty() ? QStringLiteral("no request")
                                                           : m_formsRequested.join(QStringLiteral(", "))));
    });
}

void PasteService::stopWatchingPicture()
{
    ++m_watchedPicturePaste;
    if (m_requests)
        m_requests->follow(0);
}

void PasteService::tellNothingPasted(const QString &text, bool leaveFocus)
{
    printDiagnostic(QStringLiteral("[PasteService] Nothing was pasted: ") + text);
    tell(QStringLiteral("Nothing was pasted"), text, leaveFocus);
}

// Without synthetic keys, or with nothing written, nothing is pasted into any window; else the
// paste had no window to go to, for the reason given. The item the clipboard holds is pasted by
// hand.
void PasteService::tellWhyNotPasted(const QString &noWindowBecause, bool leaveFocus)
{
    if (!m_keyboard.isTrusted()) {
        offerToPrimarySelection();
        tell(QStringLiteral("Accessibility Permission Required"),
            QStringLiteral("Tindlewick needs the X server's XTEST extension to paste items into other "
                           "applications.")
                + pasteByHand,
            leaveFocus);
    } else if (!m_unwrittenBecause.isEmpty()) {
        tellNothingPasted(m_unwrittenBecause, leaveFocus);
    } else {
        offerToPrimarySelection();
        tellNothingPasted(noWindowBecause + pasteByHand, leaveFocus);
    }
}

void PasteService::tell(const QString &title, const QString &text, bool leaveFocus)
{
    if (m_noticePresenter) {
        m_noticePresenter(title, text, !leaveFocus);
        return;
    }
    FrontWindow::showMessage(QMessageBox::Warning, title, text, !leaveFocus);
}

QFuture<std::optional<QString>> PasteService::svgString(const ClipboardItem &item)
{
    const auto resolved = item.resolveFileURL();
    if (!resolved || !resolved->first.isLocalFile())
        return QtFuture::makeReadyFuture(std::optional<QString>());
    // The file may be large, on a slow disk or no file at all: it is read by UserFiles, and
    // only up to a size that makes sense as text to paste.
    const QString path = FilePaths::ofUrl(resolved->first);
    return UserFiles::shared().run(path, svgReadLimit, [path]() -> std::optional<QString> {
        UserFiles::Refusal refusal = UserFiles::Refusal::none;
        const std::optional<QByteArray> bytes = UserFiles::readRegular(path, maxSvgFileBytes, &refusal);
        if (refusal == UserFiles::Refusal::tooLarge) {
            printDiagnostic(
                QStringLiteral("[PasteService] %1 is larger than %2 MB: it is not offered as SVG code")
                    .arg(path)
                    .arg(maxSvgFileBytes / (1024 * 1024)));
        }
        const std::optional<QString> text = bytes ? StrictText::fromUtf8(*bytes) : std::nullopt;
        if (!text)
            return std::nullopt;
        const QString trimmed = text->trimmed();
        if (trimmed.startsWith(QLatin1String("<?xml")) || trimmed.startsWith(QLatin1String("<svg")))
            return text;
        return std::nullopt;
    });
}

bool PasteService::isImageFile(const QUrl &url)
{
    static const QMimeDatabase database;
    const QString name = QFileInfo(url.path()).fileName();
    if (QFileInfo(name).suffix().isEmpty())
        return false;
    for (const QMimeType &type : database.mimeTypesForFileName(name)) {
        if (type.name().startsWith(QLatin1String("image/")))
            return true;
    }
    return false;
}
