// The values the rest of the app reads from an item instead of its raw fields.
#include "model/ClipboardItem.h"

#include "common/Ascii.h"
#include "common/ByteLines.h"
#include "common/StrictText.h"
#include "common/UserCharacters.h"
#include "common/Utf8.h"
#include "enrichment/Color.h"
#include "platform/FileBookmark.h"
#include "platform/FileExistence.h"
#include "platform/FilePaths.h"

#include <QCryptographicHash>

#include <algorithm>
#include <limits>

namespace {

// Chains of pinned references are never created on purpose; a damaged or edited store
// could hold one, even a cycle, and every value that follows the chain must still end.
constexpr int maxReferenceHops = 64;

std::optional<QUrl> strictUrl(const QString &string)
{
    QUrl url(string, QUrl::StrictMode);
    if (!url.isValid() || string.isEmpty())
        return std::nullopt;
    return url;
}

bool fileExists(const QUrl &url, FileExistence &files)
{
    const QString path = FilePaths::ofUrl(url);
    return !path.isEmpty() && files.exists(path);
}

// A text is hashed as a mark, the size of its UTF-8 and that UTF-8.
void addTextSize(QCryptographicHash &hash, qint64 size)
{
    hash.addData(QByteArrayView("\1", 1));
    hash.addData(QByteArrayView(reinterpret_cast<const char *>(&size), sizeof(size)));
}

// Canonically equivalent texts ("é" precomposed or as "e" and an accent) give one digest. A
// long text's UTF-8 goes to the hash a piece at a time, never whole.
void addCanonicalText(QCryptographicHash &hash, const std::optional<QString> &text)
{
    if (!text) {
        hash.addData(QByteArrayView("\0", 1));
        return;
    }
    const QString canonical = Ascii::isAscii(*text) ? *text : text->normalized(QString::NormalizationForm_C);
    addTextSize(hash, Utf8::size(canonical));
    Utf8::forEachPiece(canonical, [&](QByteArrayView piece) { hash.addData(piece); });
}

// Whether an item holds further addresses of that number and length in memory.
bool fitsInMemory(qsizetype count, qsizetype joinedLength)
{
    return count < ClipboardItem::maxListedFiles && joinedLength <= ClipboardItem::maxInlineTextLength;
}

bool startsWithNumber(QStringView text)
{
    if (text.isEmpty())
        return false;
    const char32_t first = text.size() > 1 && text[0].isHighSurrogate()
        ? QChar::surrogateToUcs4(text[0], text[1])
        : char32_t(text[0].unicode());
    return QChar::isNumber(first);
}

// A file list is hashed as a mark, its first address, and its further addresses when it has
// any: the whole list, read from the store when the item holds only its first addresses.
void addFiles(QCryptographicHash &hash, const ClipboardItem &item)
{
    hash.addData(QByteArrayView("f", 1));
    addCanonicalText(hash, item.fileURLString());
    const std::optional<QStringList> held = item.additionalFileURLStrings();
    if (held && held->size() == item.additionalFileTotal()) {
        hash.addData(QByteArrayView("\1", 1));
        for (const QString &string : *held)
            addCanonicalText(hash, string);
    } else if (const std::optional<QByteArray> lines = item.additionalFileURLList()) {
        hash.addData(QByteArrayView("\1", 1));
        forEachByteLine(
            *lines, [&](QByteArrayView line) { addCanonicalText(hash, QString::fromUtf8(line)); });
    } else {
        hash.addData(QByteArrayView("\0", 1));
    }
}

} // namespace

QByteArray ClipboardItem::computeContentHash() const
{
    QCryptographicHash hash(QCryptographicHash::Blake2b_256);
    switch (type()) {
    case ClipboardItemType::text:
    case ClipboardItemType::link:
    case ClipboardItemType::code: {
        hash.addData(QByteArrayView("t", 1));
        std::optional<QString> whole = textContent();
        if (const std::optional<QByteArray> extended = extendedTextData()) {
            // ASCII is its own canonical UTF-8: hashed as stored, without decoding it.
            if (Ascii::isAscii(*extended)) {
                addTextSize(hash, extended->size());
                hash.addData(*extended);
                break;
            }
            if (std::optional<QString> decoded = StrictText::fromUtf8(*extended))
                whole = std::move(decoded);
        }
        addCanonicalText(hash, whole);
        break;
    }
    case ClipboardItemType::file:
        addFiles(hash, *this);
        break;
    case ClipboardItemType::media:
        if (fileURLString()) {
            addFiles(hash, *this);
        } else {
            // A history entry that stands for a pinned picture may have no bytes of its own.
            std::optional<QByteArray> bytes = mediaImageData();
            if (!bytes) {
                if (const ClipboardItemPtr reference = pinnedReference())
                    bytes = reference->mediaImageData();
            }
            hash.addData(QByteArrayView("i", 1));
            hash.addData(QByteArrayView(bytes ? "\1" : "\0", 1));
            if (bytes)
                hash.addData(*bytes);
        }
        break;
    case ClipboardItemType::color: {
        hash.addData(QByteArrayView("c", 1));
        const std::optional<QString> hex = colorHex();
        addCanonicalText(hash, hex ? std::optional<QString>(hex->toLower()) : std::nullopt);
        addCanonicalText(hash, textContent());
        break;
    }
    }
    return hash.result();
}

ClipboardItemType ClipboardItem::type() const
{
    return clipboardItemTypeFromRawValue(itemType()).value_or(ClipboardItemType::text);
}

std::optional<MediaSubtype> ClipboardItem::mediaSubtype() const
{
    const std::optional<QString> raw = mediaSubtypeRaw();
    return raw ? mediaSubtypeFromRawValue(*raw) : std::nullopt;
}

const ClipboardItem &ClipboardItem::referenceChainEnd() const
{
    const ClipboardItem *item = this;
    for (int hop = 0; hop < maxReferenceHops; ++hop) {
        const ClipboardItemPtr reference = item->pinnedReference();
        if (!reference)
            break;
        item = reference.get();
    }
    return *item;
}

std::optional<QString> ClipboardItem::resolvedFileURLString() const
{
    return referenceChainEnd().fileURLString();
}

std::optional<QUrl> ClipboardItem::fileURL() const
{
    const std::optional<QString> string = resolvedFileURLString();
    if (!string)
        return std::nullopt;
    if (string->startsWith(QLatin1String("file://"))) {
        if (const std::optional<QString> path
            = StrictText::removingPercentEncoding(QStringView(*string).mid(7)))
            return QUrl::fromLocalFile(*path);
    }
    return strictUrl(*string);
}

std::optional<QStringList> ClipboardItem::additionalFileURLStrings() const
{
    const ClipboardItem &item = referenceChainEnd();
    if (item.m_additionalFileURLStringsCache)
        return item.m_additionalFileURLStringsCache;
    const std::optional<QString> joined = item.additionalFileURLStringsJoined();
    if (!joined)
        return std::nullopt;
    item.m_additionalFileURLStringsCache = joined->split(QLatin1Char('\n'));
    return item.m_additionalFileURLStringsCache;
}

int ClipboardItem::additionalFileTotal() const
{
    const ClipboardItem &item = referenceChainEnd();
    if (const std::optional<int> count = item.additionalFileCount())
        return *count;
    const std::optional<QStringList> held = item.additionalFileURLStrings();
    return held ? int(held->size()) : 0;
}

std::optional<QByteArray> ClipboardItem::additionalFileURLList() const
{
    const ClipboardItem &item = referenceChainEnd();
    if (item.additionalFileCount()) {
        if (std::optional<QByteArray> lines = item.additionalFileURLListData())
            return lines;
    }
    const std::optional<QStringList> held = item.additionalFileURLStrings();
    if (!held)
        return std::nullopt;
    return held->join(QLatin1Char('\n')).toUtf8();
}

void ClipboardItem::setAdditionalFileURLStrings(const QStringList &strings)
{
    const QString joined = strings.join(QLatin1Char('\n'));
    if (!fitsInMemory(strings.size(), joined.size())) {
        setAdditionalFileURLList(joined.toUtf8());
        return;
    }
    m_additionalFileURLStringsCache = strings;
    setAdditionalFileURLStringsJoined(joined);
    setAdditionalFileCount(std::nullopt);
    setAdditionalFileURLListData(std::nullopt);
}

void ClipboardItem::setAdditionalFileURLList(const QByteArray &lines)
{
    const qsizetype total = lines.count('\n') + 1;
    QStringList held;
    qsizetype length = -1;
    bool full = false;
    forEachByteLine(lines, [&](QByteArrayView line) {
        if (full)
            return;
        QString address = QString::fromUtf8(line);
        if (!fitsInMemory(held.size() + 1, length + 1 + address.size())) {
            full = true;
            return;
        }
        length += 1 + address.size();
        held.append(std::move(address));
    });
    if (held.size() == total) {
        setAdditionalFileURLStrings(held);
        return;
    }
    m_additionalFileURLStringsCache.reset();
    setAdditionalFileURLStringsJoined(
        held.isEmpty() ? std::nullopt : std::optional<QString>(held.join(QLatin1Char('\n'))));
    setAdditionalFileCount(int(std::min<qsizetype>(total, std::numeric_limits<int>::max())));
    setAdditionalFileURLListData(lines);
}

int ClipboardItem::countAvailableFiles() const
{
    return countAvailableFiles(FileExistence::shared());
}

int ClipboardItem::countAvailableFiles(FileExistence &files) const
{
    const ClipboardItemType kind = type();
    const int total = additionalFileTotal();
    if (kind != ClipboardItemType::file && kind != ClipboardItemType::media)
        return 1 + total;

    // Only the first maxCheckedFiles files are looked for; the others count as present,
    // so that an item naming a hundred thousand files costs no more than one naming a thousand.
    QList<QUrl> available;
    int checked = 0;
    int unchecked = 0;
    if (const std::optional<QUrl> first = fileURL(); first) {
        ++checked;
        if (fileExists(*first, files))
            available.append(*first);
    }
    const std::optional<QStringList> further = additionalFileURLStrings();
    qsizetype index = 0;
    for (; further && index < further->size() && checked < maxCheckedFiles; ++index) {
        const std::optional<QUrl> url = strictUrl(further->at(index));
        if (!url)
            continue;
        ++checked;
        if (fileExists(*url, files))
            available.append(*url);
    }
    // Not even read: the panel counts again after every change on disk.
    unchecked = int(std::max<qsizetype>(0, total - index));
    const_cast<ClipboardItem *>(this)->cachedAvailableURLs = available;
    return int(available.size()) + unchecked;
}

std::optional<std::pair<QUrl, bool>> ClipboardItem::resolveFileURL() const
{
    const ClipboardItemPtr reference = pinnedReference();
    const ClipboardItem &source = reference ? *reference : *this;
    if (const std::optional<QByteArray> bookmark = source.fileBookmarkData()) {
        if (const std::optional<QUrl> resolved = FileBookmark::resolve(*bookmark))
            return std::pair { *resolved, false };
    }
    if (const std::optional<QUrl> url = source.fileURL())
        return std::pair { *url, false };
    return std::nullopt;
}

const ClipboardItem &ClipboardItem::resolvedItem() const
{
    if (isLive()) {
        if (const ClipboardItemPtr reference = pinnedReference())
            return *reference;
    }
    return *this;
}

std::optional<QString> ClipboardItem::fullText() const
{
    if (isLive()) {
        const ClipboardItem &resolved = resolvedItem();
        if (const std::optional<QByteArray> extended = resolved.extendedTextData()) {
            if (std::optional<QString> decoded = StrictText::fromUtf8(*extended))
                return decoded;
        }
        return resolved.textContent();
    }
    return textContent();
}

std::optional<QString> ClipboardItem::resolvedLinkTitle() const
{
    return resolvedItem().linkTitle();
}
std::optional<QString> ClipboardItem::resolvedCodeLanguage() const
{
    return resolvedItem().codeLanguage();
}
std::optional<QString> ClipboardItem::resolvedMagikaTopLabel() const
{
    return resolvedItem().magikaTopLabel();
}
std::optional<int> ClipboardItem::resolvedCodeConfidence() const
{
    return resolvedItem().codeConfidence();
}
std::optional<int> ClipboardItem::resolvedGuesslangConfidence() const
{
    return resolvedItem().guesslangConfidence();
}
bool ClipboardItem::resolvedCodeAsText() const
{
    return resolvedItem().codeAsText();
}

std::optional<QByteArray> ClipboardItem::resolvedLinkThumbnailData() const
{
    if (!isLive())
        return std::nullopt;
    return resolvedItem().linkThumbnailData();
}

std::optional<QString> ClipboardItem::displayText() const
{
    const ClipboardItemType kind = type();
    std::optional<QString> text
        = kind == ClipboardItemType::color ? (textContent() ? textContent() : colorHex()) : previewText();
    if (!text)
        return std::nullopt;
    QString trimmed = text->trimmed();
    if (kind != ClipboardItemType::link)
        return trimmed;

    if (trimmed.startsWith(QLatin1String("https://")))
        trimmed = trimmed.mid(8);
    else if (trimmed.startsWith(QLatin1String("http://")))
        trimmed = trimmed.mid(7);
    trimmed = stripWWWPrefix(trimmed);
    if (trimmed.endsWith(QLatin1Char('/'))) {
        const QString shortened = trimmed.chopped(1);
        if (shortened.contains(QLatin1Char('/')))
            return trimmed;
        return shortened;
    }
    return trimmed;
}

std::optional<Color> ClipboardItem::colorValue() const
{
    const std::optional<QString> hex = referenceChainEnd().colorHex();
    if (!hex)
        return std::nullopt;
    return Color::fromHex(*hex);
}

bool ClipboardItem::isSingleCharacterPin() const
{
    if (!isPinned())
        return false;
    const std::optional<QString> text = textContent();
    if (!text || text->size() >= 50)
        return false;
    return UserCharacters::count(text->trimmed(), 2) == 1;
}

QString ClipboardItem::computeSearchableText() const
{
    const ClipboardItem &resolved = resolvedItem();
    QStringList parts;
    if (const auto label = resolved.pinnedLabel())
        parts.append(*label);
    if (const auto title = resolved.linkTitle())
        parts.append(*title);
    if (const auto url = resolved.fileURLString())
        parts.append(*url);
    if (const auto text = resolved.textContent())
        parts.append(*text);
    else if (const auto preview = resolved.previewText())
        parts.append(*preview);
    if (resolved.type() == ClipboardItemType::file) {
        const int count = resolved.countAvailableFiles();
        if (count >= 2)
            parts.append(QString::number(count) + QStringLiteral(" Items"));
    }
    const QString text = parts.join(QLatin1Char(' ')).toLower();
    m_searchCache = SearchCache { SearchText(text), &resolved, m_searchRevision, resolved.m_searchRevision };
    return text;
}

const SearchText &ClipboardItem::currentSearchText() const
{
    // The cache holds while neither this item nor the item it shows has changed a
    // property that the text is built from.
    if (m_searchCache) {
        const ClipboardItem &resolved = resolvedItem();
        if (m_searchCache->ownRevision == m_searchRevision && m_searchCache->resolved == &resolved
            && m_searchCache->resolvedRevision == resolved.m_searchRevision)
            return m_searchCache->text;
    }
    computeSearchableText();
    return m_searchCache->text;
}

QString ClipboardItem::searchableText() const
{
    return currentSearchText().toString();
}

bool ClipboardItem::searchableTextContains(const SearchText::Query &query) const
{
    return currentSearchText().contains(query);
}

QString stringDropFirst(const QString &text, qsizetype n)
{
    if (n <= 0)
        return text;
    const QStringView dropped = UserCharacters::prefix(text, n);
    if (UserCharacters::count(dropped, n) < n)
        return QString();
    return text.mid(dropped.size());
}

QString stripWWWPrefix(const QString &text)
{
    if (!text.startsWith(QLatin1String("www")))
        return text;
    const QStringView rest = QStringView(text).mid(3);
    if (rest.startsWith(QLatin1Char('.')))
        return rest.mid(1).toString();
    if (!startsWithNumber(rest))
        return text;
    qsizetype i = 0;
    while (i < rest.size() && startsWithNumber(rest.mid(i)))
        i += (rest[i].isHighSurrogate() && i + 1 < rest.size()) ? 2 : 1;
    if (rest.mid(i).startsWith(QLatin1Char('.')))
        return rest.mid(i + 1).toString();
    return text;
}
