#include "platform/Pasteboard.h"

#include "common/ByteLines.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>

std::optional<QByteArray> PasteboardContents::value(const QString &type) const
{
    const auto it = data.constFind(type);
    return it == data.constEnd() ? std::nullopt : std::optional<QByteArray>(*it);
}

std::optional<std::pair<QString, QByteArray>> PasteboardContents::firstImage() const
{
    // The order of `types` is the owner's order of preference.
    for (const QString &type : types) {
        if (type.startsWith(u"image/") && data.contains(type))
            return std::pair { type, data.value(type) };
    }
    for (auto it = data.cbegin(); it != data.cend(); ++it) {
        if (it.key().startsWith(u"image/"))
            return std::pair { it.key(), it.value() };
    }
    return std::nullopt;
}

namespace {

// Keeps what was read within the limit; the first type over it ends the reading.
bool admit(
    PasteboardContents &contents, const QString &type, QByteArray bytes, const PasteboardReadLimits &limits)
{
    const qsizetype limit = limits.forType(type);
    if (limit >= 0 && bytes.size() > limit) {
        contents.oversized.append(type);
        return false;
    }
    contents.data.insert(type, std::move(bytes));
    return true;
}

} // namespace

FileListMimeData::FileListMimeData(std::shared_ptr<const FileListForms> forms)
    : m_forms(std::move(forms))
{ }

QStringList FileListMimeData::formats() const
{
    return { PasteboardType::uriList, PasteboardType::gnomeCopiedFiles, PasteboardType::plainText };
}

bool FileListMimeData::hasFormat(const QString &type) const
{
    return formats().contains(type);
}

QVariant FileListMimeData::retrieveData(const QString &type, QMetaType) const
{
    if (!hasFormat(type))
        return {};
    return m_forms->whole(type.toLatin1());
}

QFuture<PasteboardContents> Pasteboard::readContents(
    const QList<QStringList> &requests, const PasteboardReadLimits &limits) const
{
    PasteboardContents contents;
    contents.types = types();
    for (const QStringList &request : requests) {
        if (const std::optional<QString> type = PasteboardData::firstOffered(request, contents.types)) {
            if (std::optional<QByteArray> bytes = data(*type)) {
                if (!admit(contents, *type, std::move(*bytes), limits))
                    break;
            }
        }
    }
    return QtFuture::makeReadyFuture(contents);
}

QStringList MemoryPasteboard::types() const
{
    return m_contents ? m_contents->formats() : QStringList();
}

std::optional<QByteArray> MemoryPasteboard::data(const QString &type) const
{
    if (!m_contents || !m_contents->hasFormat(type))
        return std::nullopt;
    return m_contents->data(type);
}

void MemoryPasteboard::writeContents(std::unique_ptr<QMimeData> contents)
{
    m_contents = std::move(contents);
    m_ownedByApp = true;
    ++m_changeCount;
}

void MemoryPasteboard::writeContentsOfAnotherApplication(std::unique_ptr<QMimeData> contents)
{
    m_contents = std::move(contents);
    m_ownedByApp = false;
    ++m_changeCount;
}

void MemoryPasteboard::anotherApplicationQuits()
{
    if (m_ownedByApp)
        return;
    m_contents.reset();
    Q_EMIT ownerLeft(m_changeCount);
}

bool MemoryPasteboard::restoreContents(std::unique_ptr<QMimeData> contents, qint64 atChange)
{
    if (atChange != m_changeCount || m_ownedByApp || m_contents)
        return false;
    m_contents = std::move(contents);
    m_ownedByApp = true;
    return true;
}

void MemoryPasteboard::clearContents()
{
    m_contents.reset();
    m_ownedByApp = true;
    ++m_changeCount;
}

bool MemoryPasteboard::copyContentsToPrimarySelection()
{
    if (!m_ownedByApp || !m_contents)
        return false;
    m_primarySelection = PasteboardData::copyOf(*m_contents);
    return true;
}

QFuture<PasteboardContents> MemoryPasteboard::readContents(
    const QList<QStringList> &requests, const PasteboardReadLimits &limits) const
{
    ++m_readCount;
    return QtFuture::makeReadyFuture(PasteboardData::contentsOfMimeData(m_contents.get(), requests, limits));
}

namespace PasteboardData {

std::unique_ptr<QMimeData> copyOf(const QMimeData &contents)
{
    // A list of files shares its one copy of the list.
    if (const auto *list = dynamic_cast<const FileListMimeData *>(&contents))
        return std::make_unique<FileListMimeData>(list->forms());
    auto copy = std::make_unique<QMimeData>();
    for (const QString &format : contents.formats())
        copy->setData(format, contents.data(format));
    return copy;
}

std::optional<QString> firstOffered(const QStringList &request, const QStringList &types)
{
    for (const QString &wanted : request) {
        if (wanted == PasteboardType::anyImage) {
            for (const QString &type : types) {
                if (type.startsWith(u"image/"))
                    return type;
            }
        } else if (types.contains(wanted)) {
            return wanted;
        }
    }
    return std::nullopt;
}

PasteboardContents contentsOfMimeData(
    const QMimeData *mimeData, const QList<QStringList> &requests, const PasteboardReadLimits &limits)
{
    PasteboardContents contents;
    if (!mimeData)
        return contents;
    contents.types = mimeData->formats();
    for (const QStringList &request : requests) {
        const std::optional<QString> type = firstOffered(request, contents.types);
        if (!type) {
            if (request.contains(PasteboardType::anyImage) && mimeData->hasImage())
                contents.image = qvariant_cast<QImage>(mimeData->imageData());
            continue;
        }
        QByteArray bytes;
        if (*type == PasteboardType::color && mimeData->hasColor())
            bytes = encodeColor(qvariant_cast<QColor>(mimeData->colorData()));
        else if (*type == PasteboardType::plainText)
            bytes = mimeData->text().toUtf8();
        else
            bytes = mimeData->data(*type);
        if (!admit(contents, *type, std::move(bytes), limits))
            break;
    }
    return contents;
}

QString decodeText(const QByteArray &bytes, const QString &type)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16).decode(bytes);
    // Mozilla's private types are UTF-16 little endian without a mark: every second byte
    // of plain ASCII text is zero.
    if (type.startsWith(QLatin1String("text/x-moz-")) && bytes.size() >= 2 && bytes.size() % 2 == 0
        && bytes[1] == '\0' && bytes[0] != '\0')
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    return QString::fromUtf8(bytes);
}

void forEachInUriList(QByteArrayView bytes, const std::function<void(const QUrl &)> &visit)
{
    forEachByteLine(bytes, [&](QByteArrayView line) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            return;
        const QUrl url = QUrl::fromEncoded(line.toByteArray(), QUrl::StrictMode);
        if (url.isValid() && !url.scheme().isEmpty())
            visit(url);
    });
}

void forEachInGnomeCopiedFiles(QByteArrayView bytes, const std::function<void(const QUrl &)> &visit)
{
    const qsizetype firstLineEnd = bytes.indexOf('\n');
    if (firstLineEnd < 0)
        return;
    const QByteArrayView action = bytes.first(firstLineEnd).trimmed();
    if (action != "copy" && action != "cut")
        return;
    forEachInUriList(bytes.sliced(firstLineEnd + 1), visit);
}

QList<QUrl> parseUriList(const QByteArray &bytes)
{
    QList<QUrl> urls;
    forEachInUriList(bytes, [&](const QUrl &url) { urls.append(url); });
    return urls;
}

QList<QUrl> parseGnomeCopiedFiles(const QByteArray &bytes)
{
    QList<QUrl> urls;
    forEachInGnomeCopiedFiles(bytes, [&](const QUrl &url) { urls.append(url); });
    return urls;
}

QByteArray gnomeCopiedFiles(const QList<QUrl> &urls)
{
    QByteArray bytes = "copy";
    for (const QUrl &url : urls)
        bytes += '\n' + url.toEncoded();
    return bytes;
}

std::optional<QColor> decodeColor(const QByteArray &bytes)
{
    const bool printable = !bytes.isEmpty()
        && std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (printable) {
        const QColor named = QColor::fromString(QString::fromLatin1(bytes).trimmed());
        if (named.isValid())
            return named;
    }
    if (bytes.size() != 8)
        return std::nullopt;
    std::array<quint16, 4> channels = {};
    std::memcpy(channels.data(), bytes.constData(), sizeof(channels));
    return QColor::fromRgba64(channels[0], channels[1], channels[2], channels[3]);
}

QByteArray encodeColor(const QColor &color)
{
    const QRgba64 rgba = color.rgba64();
    const std::array<quint16, 4> channels = { rgba.red(), rgba.green(), rgba.blue(), rgba.alpha() };
    return QByteArray(reinterpret_cast<const char *>(channels.data()), qsizetype(sizeof(channels)));
}

} // namespace PasteboardData
