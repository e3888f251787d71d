#include "capture/PasteboardSnapshot.h"

#include "capture/CaptureLimits.h"
#include "common/UserCharacters.h"

namespace {

std::optional<QString> text(const PasteboardContents &contents, const QString &type)
{
    const std::optional<QByteArray> bytes = contents.value(type);
    if (!bytes)
        return std::nullopt;
    return PasteboardData::decodeText(*bytes, type);
}

// Non-file entries (web links that came with a drag, say) are not files; the trash's own
// "trash:" entries are kept so the capture can recognise them. A long list is never held as
// URL objects: each is read, kept as text and let go.
std::optional<CopiedFiles> offeredFiles(const PasteboardContents &contents)
{
    CopiedFiles files;
    bool anyAddress = false;
    const auto take = [&](const QUrl &url) {
        anyAddress = true;
        if (url.isLocalFile() || url.scheme() == u"trash")
            files.append(url);
    };
    if (const std::optional<QByteArray> list = contents.value(PasteboardType::uriList))
        PasteboardData::forEachInUriList(*list, take);
    if (!anyAddress) {
        if (const std::optional<QByteArray> copied = contents.value(PasteboardType::gnomeCopiedFiles))
            PasteboardData::forEachInGnomeCopiedFiles(*copied, take);
    }
    if (files.isEmpty())
        return std::nullopt;
    return files;
}

QString megabytes(qsizetype bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

// Why the reading is too large to keep, when it is.
std::optional<QString> refusalOf(const PasteboardContents &contents)
{
    if (!contents.oversized.isEmpty()) {
        const QString &type = contents.oversized.first();
        return QStringLiteral("A copy was not kept: its %1 data is larger than the %2 MB that are stored")
            .arg(type, megabytes(CaptureLimits::reading.forType(type)));
    }
    for (const QString &type : { PasteboardType::plainText, PasteboardType::html }) {
        const qsizetype size = contents.data.value(type).size();
        if (size > CaptureLimits::maxTextBytes)
            return QStringLiteral("A copy of %1 MB of text was not kept: texts over %2 MB are not stored")
                .arg(megabytes(size), megabytes(CaptureLimits::maxTextBytes));
    }
    if (const auto image = contents.firstImage();
        image && image->second.size() > CaptureLimits::maxImageBytes)
        return QStringLiteral("A copy of a %1 MB picture was not kept: pictures over %2 MB are not stored")
            .arg(megabytes(image->second.size()), megabytes(CaptureLimits::maxImageBytes));
    return std::nullopt;
}

std::optional<QString> nonEmpty(const QString &string)
{
    return string.isEmpty() ? std::nullopt : std::optional<QString>(string);
}

} // namespace

QList<QStringList> PasteboardSnapshot::requests()
{
    return {
        { PasteboardType::passwordManagerHint },
        { PasteboardType::plainText },
        { PasteboardType::html },
        { PasteboardType::uriList },
        { PasteboardType::gnomeCopiedFiles },
        { PasteboardType::color },
        ImageExtraction::pasteboardImageRequest(),
        { PasteboardType::chromiumSourceUrl, PasteboardType::mozillaSourceUrl },
        { PasteboardType::mozillaUrl },
    };
}

PasteboardSnapshot PasteboardSnapshot::make(
    const PasteboardContents &reading, const std::optional<RunningApplication> &front)
{
    PasteboardSnapshot snapshot;
    snapshot.refusal = refusalOf(reading);
    // A copy that is not kept is not decoded either; what tells a password apart stays.
    PasteboardContents contents = reading;
    if (snapshot.refusal) {
        for (auto it = contents.data.begin(); it != contents.data.end();) {
            const bool bulky = it.key() == PasteboardType::plainText || it.key() == PasteboardType::html
                || it.key().startsWith(u"image/");
            it = bulky ? contents.data.erase(it) : std::next(it);
        }
        contents.image = QImage();
    }
    snapshot.types = contents.types;
    snapshot.plainText = text(contents, PasteboardType::plainText);
    snapshot.html = text(contents, PasteboardType::html);
    snapshot.files = offeredFiles(contents);
    snapshot.colorData = contents.value(PasteboardType::color);
    snapshot.image = ImageExtraction::imageSource(contents);
    snapshot.isSVG = looksLikeSVG(snapshot.plainText);
    if (front) {
        snapshot.sourceBundleIdentifier = nonEmpty(front->bundleIdentifier);
        snapshot.sourceAppName = nonEmpty(front->localizedName);
    }
    snapshot.chromiumSourceURL = text(contents, PasteboardType::chromiumSourceUrl);
    if (!snapshot.chromiumSourceURL)
        snapshot.chromiumSourceURL = text(contents, PasteboardType::mozillaSourceUrl);
    if (snapshot.chromiumSourceURL) {
        // Mozilla's private type may carry more lines; the address is the first.
        *snapshot.chromiumSourceURL = snapshot.chromiumSourceURL->section(u'\n', 0, 0).trimmed();
        if (snapshot.chromiumSourceURL->isEmpty())
            snapshot.chromiumSourceURL.reset();
    }
    if (const std::optional<QString> link = text(contents, PasteboardType::mozillaUrl)) {
        const QString title = link->section(u'\n', 1, 1).trimmed();
        if (!title.isEmpty())
            snapshot.urlName = title;
    }
    snapshot.passwordManagerHint = contents.value(PasteboardType::passwordManagerHint);
    snapshot.complete = contents.complete;
    snapshot.oversized = contents.oversized;
    return snapshot;
}

bool PasteboardSnapshot::looksLikeSVG(const std::optional<QString> &plainText)
{
    if (!plainText || plainText->isEmpty())
        return false;
    const QString start = UserCharacters::prefix(*plainText, 500).trimmed().toString();
    return start.startsWith(u"<?xml") || start.startsWith(u"<svg");
}

bool PasteboardSnapshot::announcesImage() const
{
    if (!image.image.isNull())
        return true;
    return std::any_of(types.begin(), types.end(), [](const QString &type) {
        const QString lowered = type.toLower();
        return lowered.contains(u"tiff") || lowered.contains(u"png") || lowered.contains(u"jpeg")
            || lowered.contains(u"image");
    });
}
