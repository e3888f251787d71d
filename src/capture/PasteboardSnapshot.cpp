#include "capture/PasteboardSnapshot.h"

#include "common/UserCharacters.h"

namespace {

std::optional<QString> text(const PasteboardContents &contents, const QString &type)
{
    const std::optional<QByteArray> bytes = contents.value(type);
    if (!bytes)
        return std::nullopt;
    return PasteboardData::decodeText(*bytes);
}

// Non-file entries (web links that came with a drag, say) are not files; the trash's own
// "trash:" entries are kept so the capture can recognise them.
std::optional<QList<QUrl>> offeredFiles(const PasteboardContents &contents)
{
    QList<QUrl> urls;
    if (const std::optional<QByteArray> list = contents.value(PasteboardType::uriList))
        urls = PasteboardData::parseUriList(*list);
    if (urls.isEmpty()) {
        if (const std::optional<QByteArray> copied = contents.value(PasteboardType::gnomeCopiedFiles))
            urls = PasteboardData::parseGnomeCopiedFiles(*copied);
    }
    QList<QUrl> files;
    for (const QUrl &url : urls) {
        if (url.isLocalFile() || url.scheme() == u"trash")
            files.append(url);
    }
    if (files.isEmpty())
        return std::nullopt;
    return files;
}

std::optional<QString> nonEmpty(const QString &string)
{
    return string.isEmpty() ? std::nullopt : std::optional<QString>(string);
}

} // namespace

QList<QStringList> PasteboardSnapshot::requests()
{
    return {
        { PasteboardType::plainText },
        { PasteboardType::html },
        { PasteboardType::uriList },
        { PasteboardType::gnomeCopiedFiles },
        { PasteboardType::color },
        ImageExtraction::pasteboardImageRequest(),
        { PasteboardType::chromiumSourceUrl, PasteboardType::mozillaSourceUrl },
        { PasteboardType::mozillaUrl },
        { PasteboardType::passwordManagerHint },
    };
}

PasteboardSnapshot PasteboardSnapshot::make(
    const PasteboardContents &contents, const std::optional<RunningApplication> &front)
{
    PasteboardSnapshot snapshot;
    snapshot.types = contents.types;
    snapshot.plainText = text(contents, PasteboardType::plainText);
    snapshot.html = text(contents, PasteboardType::html);
    snapshot.fileURLs = offeredFiles(contents);
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
