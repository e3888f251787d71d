#include "capture/DuplicateLookup.h"

#include "common/Ascii.h"
#include "common/StrictText.h"
#include "model/ModelContext.h"
#include "platform/FilePaths.h"

namespace {

// Equal as Unicode text: "é" precomposed equals "e" + combining accent.
bool canonicallyEqual(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    if (Ascii::isAscii(a) && Ascii::isAscii(b))
        return false;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

bool canonicallyEqual(const std::optional<QString> &a, const std::optional<QString> &b)
{
    if (!a || !b)
        return !a && !b;
    return canonicallyEqual(*a, *b);
}

bool canonicallyEqual(const std::optional<QStringList> &a, const std::optional<QStringList> &b)
{
    if (!a || !b)
        return !a && !b;
    if (a->size() != b->size())
        return false;
    for (qsizetype i = 0; i < a->size(); ++i) {
        if (!canonicallyEqual(a->at(i), b->at(i)))
            return false;
    }
    return true;
}

// The item's own whole text: the long form when the text was cut for textContent.
std::optional<QString> wholeText(const ClipboardItem &item)
{
    if (const std::optional<QByteArray> extended = item.extendedTextData()) {
        if (std::optional<QString> decoded = StrictText::fromUtf8(*extended))
            return decoded;
    }
    return item.textContent();
}

bool sameText(const ClipboardItem &a, const ClipboardItem &b)
{
    // textContent is a prefix cut at the same place for equal texts, so differing prefixes
    // settle it without reading the long forms.
    if (!canonicallyEqual(a.textContent(), b.textContent()))
        return false;
    const bool aLong = a.extendedTextData().has_value();
    const bool bLong = b.extendedTextData().has_value();
    if (!aLong && !bLong)
        return true;
    return canonicallyEqual(wholeText(a), wholeText(b));
}

bool holdsAllFiles(const ClipboardItem &item, const std::optional<QStringList> &held)
{
    return (held ? held->size() : 0) == item.additionalFileTotal();
}

bool sameFiles(const ClipboardItem &a, const ClipboardItem &b)
{
    if (!canonicallyEqual(a.fileURLString(), b.fileURLString())
        || a.additionalFileTotal() != b.additionalFileTotal())
        return false;
    const std::optional<QStringList> heldA = a.additionalFileURLStrings();
    const std::optional<QStringList> heldB = b.additionalFileURLStrings();
    if (holdsAllFiles(a, heldA) && holdsAllFiles(b, heldB))
        return canonicallyEqual(heldA, heldB);
    // A long list: the whole of each, from the store, alike byte for byte or line for line.
    const std::optional<QByteArray> wholeA = a.additionalFileURLList();
    const std::optional<QByteArray> wholeB = b.additionalFileURLList();
    if (wholeA == wholeB)
        return true;
    if (!wholeA || !wholeB)
        return false;
    return canonicallyEqual(QString::fromUtf8(*wholeA).split(QLatin1Char('\n')),
        QString::fromUtf8(*wholeB).split(QLatin1Char('\n')));
}

// The picture of an item copied as data: its own bytes, else those of the item it stands for.
std::optional<QByteArray> pictureBytes(const ClipboardItem &item)
{
    if (std::optional<QByteArray> own = item.mediaImageData())
        return own;
    if (const ClipboardItemPtr reference = item.pinnedReference())
        return reference->mediaImageData();
    return std::nullopt;
}

bool fileIsGone(const ClipboardItem &item)
{
    const QString raw = item.itemType();
    if (raw != rawValue(ClipboardItemType::file) && raw != rawValue(ClipboardItemType::media))
        return false;
    const std::optional<QUrl> url = item.fileURL();
    if (!url)
        return false;
    return !FilePaths::exists(FilePaths::ofUrl(*url));
}

} // namespace

QStringList DuplicateLookup::kindGroup(ClipboardItemType type)
{
    if (type == ClipboardItemType::text || type == ClipboardItemType::code)
        return { rawValue(ClipboardItemType::text), rawValue(ClipboardItemType::code) };
    return { rawValue(type) };
}

FetchDescriptor DuplicateLookup::candidates(ClipboardItemType type)
{
    QList<Predicate> kinds;
    for (const QString &raw : kindGroup(type))
        kinds.append(Predicate::equal(ItemField::itemType, raw));
    FetchDescriptor descriptor = FetchDescriptor::newestFirst(Predicate::any(kinds));
    descriptor.fetchLimit = searchWindow;
    return descriptor;
}

bool DuplicateLookup::sameDigest(const ClipboardItem &newItem, ModelContext &context,
    const std::function<bool(const ClipboardItemPtr &)> &visit)
{
    const QByteArray digest = newItem.contentHash();
    const ModelContext::ContentHashesResult found = context.fetchContentHashes(candidates(newItem.type()));
    if (!found.ok)
        return false;
    for (const auto &[identifier, stored] : found.entries) {
        if (stored && *stored != digest)
            continue;
        const ClipboardItemPtr candidate = context.model(identifier);
        if (!candidate || candidate.get() == &newItem)
            continue;
        // Items saved before digests existed get theirs now.
        if (!stored && candidate->contentHash() != digest)
            continue;
        const bool goOn = visit(candidate);
        // Whole texts and pictures were read only to be compared.
        candidate->releaseExternalData();
        if (!goOn)
            break;
    }
    return true;
}

ClipboardItemPtr DuplicateLookup::findDuplicate(const ClipboardItem &newItem, ModelContext &context)
{
    ClipboardItemPtr firstPinned;
    ClipboardItemPtr unpinned;
    sameDigest(newItem, context, [&](const ClipboardItemPtr &candidate) {
        if (!isSameContent(*candidate, newItem) || fileIsGone(*candidate))
            return true;
        if (!candidate->isPinned()) {
            unpinned = candidate;
            return false;
        }
        if (!firstPinned)
            firstPinned = candidate;
        return true;
    });
    return unpinned ? unpinned : firstPinned;
}

ClipboardItemPtr DuplicateLookup::findPinnedText(const ClipboardItem &newItem, ModelContext &context)
{
    ClipboardItemPtr pinned;
    sameDigest(newItem, context, [&](const ClipboardItemPtr &candidate) {
        if (!candidate->isPinned() || !isSameContent(*candidate, newItem))
            return true;
        pinned = candidate;
        return false;
    });
    return pinned;
}

bool DuplicateLookup::isSameContent(const ClipboardItem &stored, const ClipboardItem &newItem)
{
    switch (stored.type()) {
    case ClipboardItemType::text:
    case ClipboardItemType::link:
    case ClipboardItemType::code:
        return sameText(stored, newItem);
    case ClipboardItemType::file:
        return sameFiles(stored, newItem);
    case ClipboardItemType::media:
        return newItem.fileURLString() ? sameFiles(stored, newItem)
                                       : pictureBytes(stored) == pictureBytes(newItem);
    case ClipboardItemType::color: {
        // Colours copied as colour data carry no text: their hex value is what they are.
        // One notation is no repeat of another, though: the text is what a paste gives back.
        const std::optional<QString> a = stored.colorHex();
        const std::optional<QString> b = newItem.colorHex();
        if (!a || !b)
            return !a && !b && canonicallyEqual(stored.textContent(), newItem.textContent());
        return a->compare(*b, Qt::CaseInsensitive) == 0
            && canonicallyEqual(stored.textContent(), newItem.textContent());
    }
    }
    return false;
}

bool DuplicateLookup::hasText(const ClipboardItem &stored, const QString &text)
{
    const std::optional<QString> own = stored.textContent();
    if (!own)
        return false;
    if (!stored.extendedTextData())
        return canonicallyEqual(*own, text);
    const std::optional<QString> whole = wholeText(stored);
    return whole && canonicallyEqual(*whole, text);
}
