#include "capture/DuplicateLookup.h"

#include "common/StrictText.h"
#include "model/ModelContext.h"

#include <QFileInfo>

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Equal as Unicode text: "é" precomposed equals "e" + combining accent.
bool canonicallyEqual(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    if (isAscii(a) && isAscii(b))
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

bool sameFiles(const ClipboardItem &a, const ClipboardItem &b)
{
    return canonicallyEqual(a.fileURLString(), b.fileURLString())
        && canonicallyEqual(a.additionalFileURLStrings(), b.additionalFileURLStrings());
}

const ClipboardItem &referencedOrSelf(const ClipboardItem &item)
{
    const ClipboardItemPtr reference = item.pinnedReference();
    return reference ? *reference : item;
}

bool fileIsGone(const ClipboardItem &item)
{
    const QString raw = item.itemType();
    if (raw != rawValue(ClipboardItemType::file) && raw != rawValue(ClipboardItemType::media))
        return false;
    const std::optional<QUrl> url = item.fileURL();
    if (!url)
        return false;
    const QString path = url->isLocalFile() ? url->toLocalFile() : url->path();
    return !QFileInfo::exists(path);
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

ClipboardItemPtr DuplicateLookup::findDuplicate(const ClipboardItem &newItem, ModelContext &context)
{
    const ModelContext::FetchResult fetched = context.fetch(candidates(newItem.type()));
    if (!fetched.ok)
        return nullptr;

    ClipboardItemPtr firstPinned;
    for (const ClipboardItemPtr &candidate : fetched.items) {
        if (candidate.get() == &newItem || !isSameContent(*candidate, newItem) || fileIsGone(*candidate))
            continue;
        if (!candidate->isPinned())
            return candidate;
        if (!firstPinned)
            firstPinned = candidate;
    }
    return firstPinned;
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
        return newItem.fileURLString() ? sameFiles(stored, newItem) : sameImageData(stored, newItem);
    case ClipboardItemType::color: {
        // Colours copied as colour data carry no text: their hex value is what they are.
        const std::optional<QString> a = stored.colorHex();
        const std::optional<QString> b = newItem.colorHex();
        if (!a || !b)
            return !a && !b;
        return a->compare(*b, Qt::CaseInsensitive) == 0;
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

DuplicateLookup::Digest DuplicateLookup::storedDigest(const ClipboardItem &item)
{
    const PersistentIdentifier identifier = item.persistentModelID();
    const bool cacheable = identifier.isValid() && !identifier.isTemporary();
    if (cacheable) {
        if (const auto it = m_storedDigests.constFind(identifier); it != m_storedDigests.constEnd())
            return *it;
    }
    const QByteArray data = item.mediaImageData().value_or(QByteArray());
    const Digest digest { data.size(), qHashBits(data.constData(), size_t(data.size())) };
    if (cacheable) {
        m_storedDigests.insert(identifier, digest);
        // The bytes were read only to be hashed; they need not stay in memory.
        const_cast<ClipboardItem &>(item).releaseExternalData();
    }
    return digest;
}

bool DuplicateLookup::sameImageData(const ClipboardItem &stored, const ClipboardItem &newItem)
{
    const ClipboardItem &storedSource = referencedOrSelf(stored);
    const ClipboardItem &newSource = referencedOrSelf(newItem);
    const std::optional<QByteArray> newData = newSource.mediaImageData();
    const Digest known = storedDigest(storedSource);
    const bool storedHasData = known.size > 0 || storedSource.mediaImageData().has_value();
    if (!newData || !storedHasData)
        return !newData && !storedHasData;
    if (known.size != newData->size()
        || known.hash != qHashBits(newData->constData(), size_t(newData->size())))
        return false;
    return storedSource.mediaImageData() == newData;
}
