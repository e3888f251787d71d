// ClipboardMonitor: from a clipboard reading to a new item (colour, file, media, link,
// colour text, text or code).
#include "capture/AdultFilter.h"
#include "capture/CaptureLimits.h"
#include "capture/ClipboardMonitor.h"
#include "capture/CodeClassifier.h"
#include "capture/ColorSources.h"
#include "capture/DetectionText.h"
#include "capture/LinkDetector.h"
#include "capture/PasteboardSnapshot.h"
#include "capture/TrackingCleaner.h"
#include "common/Ascii.h"
#include "common/Diagnostics.h"
#include "common/Idna.h"
#include "common/UserCharacters.h"
#include "enrichment/Color.h"
#include "enrichment/ColorFormatter.h"
#include "model/FetchDescriptor.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/UrlBlacklist.h"
#include "platform/FileBookmark.h"
#include "platform/FilePaths.h"
#include "platform/ImageLimits.h"
#include "platform/UserFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include <variant>

namespace {

using Captured = std::optional<ClipboardMonitor::CapturedContent>;

QFuture<Captured> ready(Captured captured)
{
    return QtFuture::makeReadyFuture(std::move(captured));
}

ClipboardItem::Content sourceContent(const PasteboardSnapshot &snapshot)
{
    ClipboardItem::Content content;
    content.sourceAppBundleIdentifier = snapshot.sourceBundleIdentifier;
    content.sourceAppName = snapshot.sourceAppName;
    return content;
}

bool anyLinkExcluded(QStringView text, const UrlBlacklist::Matcher &blacklist)
{
    const auto excluded = [&](QStringView link) { return blacklist.isExcluded(link); };
    const QList<QStringView> links = LinkDetector::linksInText(text);
    if (std::any_of(links.begin(), links.end(), excluded))
        return true;
    // A host of one word after a scheme without its slashes is an address only when it is blocked.
    const auto blockedHost = [&](QStringView host) { return blacklist.namesHost(host); };
    const QList<QStringView> addresses = LinkDetector::webAddressesInText(text, blockedHost);
    if (std::any_of(addresses.begin(), addresses.end(), excluded))
        return true;
    const std::optional<QString> whole = LinkDetector::webAddressAcrossLineBreaks(text, blockedHost);
    return whole && excluded(*whole);
}

// Whether a copied text holds a link the URL blacklist keeps out, written anywhere among its
// words: the whole text when it is one link (also as a browser reads it, without its tabs and line
// breaks), else every address in it, in any form a browser opens. Programs that still
// resolve names as IDNA 2003 did read dots that browsers refuse ("example﹒org") as full stops:
// a text with such dots is read that way too.
bool holdsBlacklistedLink(QStringView text, const UrlBlacklist::Matcher &blacklist)
{
    if (blacklist.isEmpty())
        return false;
    if (anyLinkExcluded(text, blacklist))
        return true;
    if (Ascii::isAscii(text))
        return false;
    const QString folded = Idna::foldedAsIdna2003(text);
    return Idna::mapped(folded).count(u'.') > Idna::mapped(text).count(u'.')
        && anyLinkExcluded(folded, blacklist);
}

QString preview(const QString &text)
{
    return UserCharacters::prefix(text, ClipboardMonitor::previewLength).toString();
}

// The XDG trash of the home folder and of other volumes (".Trash-<uid>", ".Trash/<uid>"),
// and the trash's own "trash:" addresses.
bool isInTrash(const QUrl &url)
{
    if (url.scheme() == u"trash")
        return true;
    const QString path = url.toLocalFile();
    static const QRegularExpression volumeTrash(QStringLiteral("/\\.Trash(-\\d+)?/"));
    if (path.contains(volumeTrash) || path.contains(u"/.local/share/Trash/"))
        return true;
    const QString dataHome
        = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    return path.startsWith(QDir::cleanPath(dataHome) + QStringLiteral("/Trash/"));
}

QString lastPathComponent(const QUrl &url)
{
    return QFileInfo(QDir::cleanPath(url.isLocalFile() ? url.toLocalFile() : url.path())).fileName();
}

std::optional<ColorFormatter::ParseResult> colorOfText(const PasteboardSnapshot &snapshot)
{
    const QString &text = *snapshot.plainText;
    if (std::optional<ColorFormatter::ParseResult> parsed = ColorFormatter::parse(text))
        return parsed;
    // Bare hex digits are a colour only where design work is copied.
    const bool fromDesignApp = snapshot.sourceBundleIdentifier
        && ColorSources::isColorSourceApplication(*snapshot.sourceBundleIdentifier);
    const bool fromDesignSite = !fromDesignApp && snapshot.chromiumSourceURL
        && ColorSources::isColorSourceSite(*snapshot.chromiumSourceURL);
    if (fromDesignApp || fromDesignSite)
        return ColorFormatter::parseBareHex(text);
    return std::nullopt;
}

// Items built from a text: its code verdict decides the kind.
struct TextDecision
{
    ClipboardItemType kind = ClipboardItemType::text;
    std::optional<QString> language;
};

TextDecision decide(const CodeClassifier::Detection &detection,
    const std::optional<CodeClassifier::LanguageGuess> &guess, const QString &detectionText)
{
    if (detection.isCode)
        return { ClipboardItemType::code, detection.language };
    if (detection.topLabel)
        return {};
    const double probability = guess ? double(guess->probability) : 0.0;
    const qsizetype characters = UserCharacters::count(detectionText);
    if (probability >= DetectionText::networkThreshold(characters)
        && detection.confidence / 100.0 >= DetectionText::detectorFloor(characters))
        return { ClipboardItemType::code, guess->language };
    return {};
}

Captured colorTextContent(const PasteboardSnapshot &snapshot, const ColorFormatter::ParseResult &color)
{
    ClipboardItem::Content content = sourceContent(snapshot);
    content.text = *snapshot.plainText;
    content.colorHex = color.hex;
    content.originalColorFormat = color.label;
    content.previewText = *snapshot.plainText;
    return ClipboardMonitor::CapturedContent { ClipboardItem::create(ClipboardItemType::color, content),
        std::nullopt };
}

// A text item built off the main thread (none when the text is kept out), and the text the
// code detectors read.
struct PreparedText
{
    ClipboardItemPtr item;
    QString detectionText;
};

PreparedText prepareText(const QString &text, const ClipboardItem::Content &base,
    const std::shared_ptr<const UrlBlacklist::Matcher> &blacklist)
{
    // A text that holds a blacklisted link among other words is kept out too.
    if (holdsBlacklistedLink(text, *blacklist))
        return {};
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    ClipboardItem::Content content = base;
    content.previewText = preview(normalized);
    content.text = normalized;
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::text, content);
    (void)item->contentHash();
    return { item, DetectionText::prepareDetectionText(normalized) };
}

using Detection = CodeClassifier::Detection;
using Guess = std::optional<CodeClassifier::LanguageGuess>;
using DetectorAnswers = QList<std::variant<QFuture<Detection>, QFuture<Guess>>>;

// A detector's answer, where one that gave up or failed has found nothing. (Cancellation is
// handled before failure: Qt 6.4's failure handler reads the result of a cancelled future.)
template <typename Answer> QFuture<Answer> orNothing(QFuture<Answer> answer)
{
    return answer.onCanceled([] { return Answer {}; }).onFailed([] { return Answer {}; });
}

// Writes the detectors' verdicts into a text item, which becomes code when they agree.
void applyDetection(
    ClipboardItem &item, const QString &detectionText, const Detection &verdict, const Guess &guess)
{
    const TextDecision decision = decide(verdict, guess, detectionText);
    item.setItemType(rawValue(decision.kind));
    item.setCodeConfidence(verdict.confidence);
    item.setMagikaTopLabel(verdict.topLabel);
    if (decision.kind == ClipboardItemType::code) {
        item.setCodeAsText(false);
        item.setCodeLanguage(decision.language);
    }
    if (guess) {
        item.setGuesslangLanguage(guess->language);
        item.setGuesslangConfidence(int(guess->probability * 100.0f));
    }
}

} // namespace

QFuture<Captured> ClipboardMonitor::processClipboardContent(const PasteboardSnapshot &snapshot)
{
    if (snapshot.colorData) {
        const std::optional<QColor> decoded = PasteboardData::decodeColor(*snapshot.colorData);
        if (const std::optional<Color> color = decoded ? Color::fromQColor(*decoded) : std::nullopt) {
            ClipboardItem::Content content = sourceContent(snapshot);
            content.colorHex = color->hexString();
            content.originalColorFormat = QStringLiteral("native");
            content.previewText = content.colorHex;
            return ready(
                CapturedContent { ClipboardItem::create(ClipboardItemType::color, content), std::nullopt });
        }
    }
    if (snapshot.files && !snapshot.files->isEmpty())
        return fileContent(snapshot);

    const bool hasText = snapshot.plainText && !snapshot.plainText->isEmpty();
    const bool hasImage = !snapshot.image.isEmpty();
    // SVG source that came with its rendering: the picture is what was copied.
    if (hasImage && (snapshot.isSVG || !hasText))
        return imageContent(snapshot);
    if (hasText)
        return textContent(snapshot);
    return ready(std::nullopt);
}

QFuture<Captured> ClipboardMonitor::fileContent(const PasteboardSnapshot &snapshot)
{
    // The bookmark asks the disk, which may hang (a network mount): it is asked through
    // UserFiles, and the item is kept without it when the disk does not answer in time.
    const QUrl first = snapshot.files->first();
    if (isInTrash(first))
        return ready(std::nullopt);
    QFuture<std::optional<QByteArray>> bookmark = first.isLocalFile()
        ? UserFiles::shared().run(
            FilePaths::ofUrl(first), bookmarkLimit, [first] { return FileBookmark::create(first); })
        : QtFuture::makeReadyFuture(std::optional<QByteArray>());
    // A list of many files takes long to become an item and its digest: the item is built on
    // a worker thread.
    return bookmark.then(QtFuture::Launch::Async,
        [files = *snapshot.files, base = sourceContent(snapshot)](
            const std::optional<QByteArray> &bookmarkData) -> Captured {
            const QUrl &first = files.first();
            ClipboardItem::Content content = base;
            content.fileURL = first;
            content.fileBookmarkData = bookmarkData;
            content.previewText = lastPathComponent(first);
            const std::optional<MediaSubtype> kind = ImageExtraction::mediaKindForFile(first);
            if (files.count() == 1 && kind)
                content.mediaSubtypeRaw = rawValue(*kind);
            ClipboardItemPtr item = ClipboardItem::create(
                content.mediaSubtypeRaw ? ClipboardItemType::media : ClipboardItemType::file, content);
            if (files.count() >= 2)
                item->setAdditionalFileURLList(files.furtherAddresses());
            (void)item->contentHash();
            return CapturedContent { item, first };
        });
}

QFuture<Captured> ClipboardMonitor::imageContent(const PasteboardSnapshot &snapshot)
{
    // Decoding, encoding and scaling a large picture takes far longer than a frame: the
    // item is built on a worker thread, its digest too.
    const ImageExtraction::ImageSource source = snapshot.image;
    const ClipboardItem::Content base = sourceContent(snapshot);
    return QtConcurrent::run([source, base]() -> Captured {
        if (const std::optional<QSize> size = ImageExtraction::imageSize(source);
            size && !ImageLimits::isDecodable(*size)) {
            printDiagnostic(
                QStringLiteral("[ClipboardMonitor] A picture of %1 × %2 pixels was not kept: pictures "
                               "of more than %3 million pixels are not stored")
                    .arg(size->width())
                    .arg(size->height())
                    .arg(ImageLimits::maxPixels / 1'000'000));
            return std::nullopt;
        }
        const std::optional<ImageExtraction::PreparedImage> prepared
            = ImageExtraction::prepareImage(source, ImageExtraction::itemThumbnailSize);
        // Kept, it would be a blank picture.
        if (!prepared) {
            printDiagnostic(
                QStringLiteral("[ClipboardMonitor] A picture (%1, %2 bytes) was not kept: it could "
                               "not be decoded")
                    .arg(source.type.isEmpty() ? QStringLiteral("an image object") : source.type)
                    .arg(source.data.size()));
            return std::nullopt;
        }
        ClipboardItem::Content content = base;
        content.mediaImageData = prepared->imageData;
        content.mediaThumbnailData = prepared->thumbnail;
        content.mediaSubtypeRaw = rawValue(MediaSubtype::image);
        content.previewText = QStringLiteral("Screenshot");
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::media, content);
        (void)item->contentHash();
        return CapturedContent { item, std::nullopt };
    });
}

QFuture<Captured> ClipboardMonitor::textContent(const PasteboardSnapshot &snapshot)
{
    const QString &text = *snapshot.plainText;
    if (text.size() <= classificationTextLimit) {
        if (const std::optional<QString> link = LinkDetector::linkForText(text.trimmed()))
            return ready(linkContent(snapshot, *link));
        if (const std::optional<ColorFormatter::ParseResult> color = colorOfText(snapshot))
            return ready(colorTextContent(snapshot, *color));
    }
    return plainTextContent(snapshot);
}

Captured ClipboardMonitor::linkContent(const PasteboardSnapshot &snapshot, const QString &link) const
{
    // The text as it came, so that a word of the blacklist is found as the user wrote it.
    if (m_settings.isURLExcluded(*snapshot.plainText))
        return std::nullopt;
    // Lists of hosts name them in ASCII: the link is compared in the form it goes over the wire.
    if (m_settings.filterAdultContent()
        && AdultFilter::isAdultURL(LinkDetector::encodedLink(link).value_or(link)))
        return std::nullopt;
    const QString linkString = m_settings.removeTrackingParameters() ? TrackingCleaner::cleanURL(link) : link;
    ClipboardItem::Content content = sourceContent(snapshot);
    content.text = linkString;
    content.previewText = preview(linkString);
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::link, content);
    if (snapshot.urlName && !snapshot.urlName->isEmpty())
        item->setLinkTitle(snapshot.urlName);
    return CapturedContent { item, std::nullopt };
}

QFuture<Captured> ClipboardMonitor::plainTextContent(const PasteboardSnapshot &snapshot)
{
    // A long text is normalised, encoded and digested on a worker thread; the item starts
    // as text and becomes code when the detectors say so.
    ClipboardItem::Content base = sourceContent(snapshot);
    if (snapshot.html && snapshot.html->contains(u"<!--(figma)"))
        base.htmlContent = snapshot.html;
    QFuture<PreparedText> prepared
        = QtConcurrent::run(prepareText, *snapshot.plainText, base, m_settings.urlBlacklist());
    // The application object outlives all work; with the monitor gone the capture is
    // cancelled (a default future is a cancelled one).
    const QPointer<ClipboardMonitor> alive(this);
    return prepared
        .then(QCoreApplication::instance(),
            [alive](const PreparedText &text) {
                return alive ? alive->classifyText(text.item, text.detectionText) : QFuture<Captured>();
            })
        .unwrap();
}

QFuture<Captured> ClipboardMonitor::classifyText(const ClipboardItemPtr &item, const QString &detectionText)
{
    if (!item)
        return ready(std::nullopt);
    // A text that repeats a pinned item needs no detection: saving makes it a reference.
    if (!m_settings.detectCode() || !m_codeClassifier
        || m_duplicates.findPinnedText(*item, *m_container.mainContext()))
        return ready(CapturedContent { item, std::nullopt });

    const QFuture<Detection> detection = orNothing(m_codeClassifier->detect(detectionText));
    const QFuture<Guess> ranking = orNothing(m_codeClassifier->rankLanguages(detectionText));
    return QtFuture::whenAll(detection, ranking)
        .then(QCoreApplication::instance(), [item, detectionText](const DetectorAnswers &answers) {
            const Detection verdict = std::get<QFuture<Detection>>(answers.at(0)).result();
            const Guess guess = std::get<QFuture<Guess>>(answers.at(1)).result();
            applyDetection(*item, detectionText, verdict, guess);
            return Captured(CapturedContent { item, std::nullopt });
        });
}
