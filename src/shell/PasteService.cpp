#include "shell/PasteService.h"

#include "capture/ClipboardMonitor.h"
#include "common/Diagnostics.h"
#include "common/StrictText.h"
#include "model/ClipboardItem.h"
#include "platform/Pasteboard.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/Workspace.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPointer>
#include <QTimer>

namespace {

QPointer<PasteService> g_shared;

// Clipboard contents whose colour flavour answers both ways: as the 16-bit RGBA bytes
// other programs read, and as a colour for Qt's own conversion when the clipboard serves it.
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

// The image as TIFF (where the image plug-ins can write it) and PNG. False when the bytes
// do not decode or no PNG can be made.
bool addImage(QMimeData &contents, const QImage &image, const QByteArray &pngBytes = {})
{
    if (image.isNull())
        return false;
    const QByteArray png = isPng(pngBytes) ? pngBytes : encoded(image, "png");
    if (png.isEmpty())
        return false;
    if (QImageWriter::supportedImageFormats().contains("tiff")) {
        if (const QByteArray tiff = encoded(image, "tiff"); !tiff.isEmpty())
            contents.setData(PasteboardType::tiff, tiff);
    }
    contents.setData(PasteboardType::png, png);
    return true;
}

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
    return url.isLocalFile() && QFileInfo::exists(url.toLocalFile());
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

bool buildFiles(OutgoingMimeData &contents, const ClipboardItem &source)
{
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
    if (urls.size() == 1 && PasteService::isImageFile(urls.first())) {
        const QString path = urls.first().toLocalFile();
        const QImage image(path);
        if (!image.isNull()) {
            addImage(contents, image);
            contents.setText(path);
            return true;
        }
    }
    addFileURLs(contents, urls);
    return true;
}

bool buildMedia(OutgoingMimeData &contents, const ClipboardItem &source)
{
    if (const auto resolved = source.resolveFileURL()) {
        const auto &[url, scopedAccess] = *resolved;
        if (scopedAccess) {
            addFileURLs(contents, { url });
        } else {
            contents.setUrls({ url });
            contents.setText(url.isLocalFile() ? url.toLocalFile() : url.path());
        }
        return true;
    }
    const ClipboardItem &imageSource = contentSource(source);
    std::optional<QByteArray> bytes = imageSource.mediaImageData();
    if (!bytes)
        bytes = imageSource.mediaThumbnailData();
    if (!bytes || source.mediaSubtype() != MediaSubtype::image)
        return false;
    return addImage(contents, QImage::fromData(*bytes), *bytes);
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

std::unique_ptr<QMimeData> PasteService::contentsFor(const ClipboardItem &item, bool plainTextOnly)
{
    const ClipboardItem &source = contentSource(item);
    auto contents = std::make_unique<OutgoingMimeData>();
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
        wrote = buildFiles(*contents, source);
        break;
    case ClipboardItemType::media:
        wrote = buildMedia(*contents, source);
        break;
    }
    if (!wrote || contents->formats().isEmpty())
        return nullptr;
    return contents;
}

bool PasteService::copyToPasteboard(const ClipboardItem &item, bool plainTextOnly)
{
    std::unique_ptr<QMimeData> contents = contentsFor(item, plainTextOnly);
    if (!contents)
        return false;
    writeOwnContents(std::move(contents));
    return true;
}

void PasteService::copyStringToPasteboard(const QString &text)
{
    auto contents = std::make_unique<QMimeData>();
    contents->setText(text);
    writeOwnContents(std::move(contents));
}

void PasteService::writeOwnContents(std::unique_ptr<QMimeData> contents)
{
    // The app's own write is no new copy for the history.
    if (ClipboardMonitor *monitor = ClipboardMonitor::shared())
        monitor->setIgnoreNextChange(true);
    m_pasteboard.writeContents(std::move(contents));
}

bool PasteService::paste(const ClipboardItem &item, bool plainTextOnly, double delaySeconds)
{
    if (!copyToPasteboard(item, plainTextOnly))
        return false;
    delayedPasteTask(delaySeconds);
    return true;
}

void PasteService::delayedPasteTask(double seconds)
{
    QTimer::singleShot(std::max(0, int(seconds * 1000)), this, &PasteService::simulatePaste);
}

void PasteService::simulatePaste()
{
    if (!m_keyboard.isTrusted()) {
        showAccessibilityAlert();
        return;
    }
    if (const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
        front && front->isCurrentApplication())
        return;
    QString error;
    if (!m_keyboard.sendPaste(&error))
        printDiagnostic(QStringLiteral("[PasteService] Could not send the paste keystroke: %1").arg(error));
}

void PasteService::showAccessibilityAlert()
{
    if (m_alertPresenter) {
        m_alertPresenter();
        return;
    }
    auto *alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Accessibility Permission Required"),
        QStringLiteral("Tindlewick needs the X server's XTEST extension to paste items into "
                       "other applications. The item is on the clipboard: paste it with "
                       "Control+V."),
        QMessageBox::Ok);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->show();
}

std::optional<QString> PasteService::svgString(const ClipboardItem &item)
{
    const auto resolved = item.resolveFileURL();
    if (!resolved || !resolved->first.isLocalFile())
        return std::nullopt;
    QFile file(resolved->first.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<QString> text = StrictText::fromUtf8(file.readAll());
    if (!text)
        return std::nullopt;
    const QString trimmed = text->trimmed();
    if (trimmed.startsWith(QLatin1String("<?xml")) || trimmed.startsWith(QLatin1String("<svg")))
        return text;
    return std::nullopt;
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
