#include "model/ClipboardItem.h"

#include "common/UserCharacters.h"
#include "common/Utf8.h"
#include "model/ModelContext.h"

#include <atomic>

namespace {

bool affectsSearchText(ItemField field)
{
    switch (field) {
    case ItemField::itemType:
    case ItemField::textContent:
    case ItemField::previewText:
    case ItemField::fileURLString:
    case ItemField::linkTitle:
    case ItemField::pinnedLabel:
    case ItemField::pinnedReference:
    case ItemField::additionalFileURLStringsJoined:
    case ItemField::additionalFileCount:
        return true;
    default:
        return false;
    }
}

bool affectsContentHash(ItemField field)
{
    // The kind is left out: it changes only between text and code, which compare alike.
    switch (field) {
    case ItemField::textContent:
    case ItemField::extendedTextData:
    case ItemField::fileURLString:
    case ItemField::colorHex:
    case ItemField::mediaImageData:
    case ItemField::pinnedReference:
    case ItemField::additionalFileURLStringsJoined:
    case ItemField::additionalFileCount:
    case ItemField::additionalFileURLListData:
        return true;
    default:
        return false;
    }
}

std::atomic<qint64> g_nextTemporaryIdentifier { -1 };

// The fields kept outside the row, as a mask: every read of a field asks.
const quint64 g_externalFields = externalFieldMask();

} // namespace

PersistentIdentifier ClipboardItem::newTemporaryIdentifier()
{
    return PersistentIdentifier { g_nextTemporaryIdentifier.fetch_sub(1) };
}

ClipboardItemPtr ClipboardItem::createForStore()
{
    return std::make_shared<ClipboardItem>(ConstructionKey());
}

ClipboardItemPtr ClipboardItem::create(ClipboardItemType type, const Content &content)
{
    ClipboardItemPtr item = createForStore();
    // A new item has all its external data in memory.
    item->m_externalLoaded = std::bitset<slotCount>(externalFieldMask());
    // The required Booleans (pinned, from a password manager, code as text) start false,
    // which is what a missing one reads as.
    item->m_identifier = newTemporaryIdentifier();
    item->m_values.set(ItemField::id, QUuid::createUuid());
    item->m_values.set(ItemField::timestamp, QDateTime::currentDateTimeUtc());
    item->m_values.set(ItemField::itemType, rawValue(type));

    if (content.text) {
        const QString &text = *content.text;
        if (text.size() <= maxInlineTextLength) {
            item->setTextContent(text);
        } else {
            item->setTextContent(UserCharacters::prefix(text, maxInlineTextLength).toString());
            item->setExtendedTextData(Utf8::encode(text));
        }
    }
    if (content.fileURL)
        item->setFileURLString(content.fileURL->toString(QUrl::FullyEncoded));
    item->setFileBookmarkData(content.fileBookmarkData);
    item->setColorHex(content.colorHex);
    item->setOriginalColorFormat(content.originalColorFormat);
    item->setMediaThumbnailData(content.mediaThumbnailData);
    item->setMediaPreviewData(content.mediaPreviewData);
    item->setMediaImageData(content.mediaImageData);
    item->setMediaSubtypeRaw(content.mediaSubtypeRaw);
    item->setFileThumbnailData(content.fileThumbnailData);
    item->setFilePreviewData(content.filePreviewData);
    item->setLinkPreviewData(content.linkPreviewData);
    item->setCodeLanguage(content.codeLanguage);
    item->setCodeConfidence(content.codeConfidence);
    item->setSourceAppBundleIdentifier(content.sourceAppBundleIdentifier);
    item->setSourceAppName(content.sourceAppName);
    item->setHtmlContent(content.htmlContent);
    item->setPreviewText(content.previewText);
    item->m_dirty.reset();
    return item;
}

ModelContext *ClipboardItem::modelContext() const
{
    return m_context;
}

bool ClipboardItem::isLive() const
{
    return m_context && !m_deleted;
}

const QVariant &ClipboardItem::slot(ItemField field) const
{
    const auto index = std::size_t(field);
    if ((g_externalFields & (quint64(1) << index)) && !m_externalLoaded.test(index)) {
        auto *self = const_cast<ClipboardItem *>(this);
        self->m_externalLoaded.set(index);
        if (m_externalPresent.test(index) && m_context)
            self->m_values.set(field, m_context->loadExternalValue(m_identifier, field));
    }
    return m_values.get(field);
}

QVariant ClipboardItem::value(ItemField field) const
{
    if (field == ItemField::pinnedReference) {
        const ClipboardItemPtr reference = pinnedReference();
        return reference ? QVariant(reference->persistentModelID().value) : QVariant();
    }
    return slot(field);
}

void ClipboardItem::setValue(ItemField field, const QVariant &value)
{
    const auto index = std::size_t(field);
    const FieldInfo &info = fieldInfo(field);
    if (info.type == FieldType::relationship || info.type == FieldType::inverseRelationship)
        return;
    if (info.external)
        m_externalLoaded.set(index);
    const QVariant &current = m_values.get(field);
    const bool same = current.isNull() == value.isNull()
        && (value.isNull() || (current.typeId() == value.typeId() && current == value));
    if (same)
        return;
    m_values.set(field, value);
    if (info.external)
        m_externalPresent.set(index, !value.isNull());
    m_dirty.set(index);
    if (affectsSearchText(field))
        ++m_searchRevision;
    if (affectsContentHash(field))
        forgetContentHash();
    if (m_context)
        m_context->itemDidChange(this, field);
}

void ClipboardItem::forgetContentHash()
{
    if (!m_contentHash)
        return;
    m_contentHash.reset();
    m_contentHashDirty = true;
}

QByteArray ClipboardItem::contentHash() const
{
    if (m_contentHash)
        return *m_contentHash;
    auto *self = const_cast<ClipboardItem *>(this);
    self->setContentHash(computeContentHash());
    return *m_contentHash;
}

void ClipboardItem::setContentHash(const QByteArray &hash)
{
    if (m_contentHash == hash)
        return;
    m_contentHash = hash;
    m_contentHashDirty = true;
    if (m_context)
        m_context->itemDidChangeContentHash(this);
}

QUuid ClipboardItem::id() const
{
    return slot(ItemField::id).toUuid();
}
void ClipboardItem::setId(const QUuid &id)
{
    setValue(ItemField::id, id);
}

QDateTime ClipboardItem::timestamp() const
{
    return slot(ItemField::timestamp).toDateTime();
}
void ClipboardItem::setTimestamp(const QDateTime &timestamp)
{
    setValue(ItemField::timestamp, timestamp.toUTC());
}

QString ClipboardItem::itemType() const
{
    return slot(ItemField::itemType).toString();
}
void ClipboardItem::setItemType(const QString &raw)
{
    setValue(ItemField::itemType, raw);
}

std::optional<QDateTime> ClipboardItem::pinnedTimestamp() const
{
    const QVariant &v = slot(ItemField::pinnedTimestamp);
    return v.isNull() ? std::nullopt : std::optional<QDateTime>(v.toDateTime());
}

void ClipboardItem::setPinnedTimestamp(const std::optional<QDateTime> &value)
{
    setValue(ItemField::pinnedTimestamp, value ? QVariant(value->toUTC()) : QVariant());
}

std::optional<QString> ClipboardItem::string(ItemField field) const
{
    const QVariant &v = slot(field);
    return v.isNull() ? std::nullopt : std::optional<QString>(v.toString());
}

void ClipboardItem::setString(ItemField field, const std::optional<QString> &value)
{
    setValue(field, value ? QVariant(*value) : QVariant());
}

std::optional<QByteArray> ClipboardItem::data(ItemField field) const
{
    const QVariant &v = slot(field);
    return v.isNull() ? std::nullopt : std::optional<QByteArray>(v.toByteArray());
}

void ClipboardItem::setData(ItemField field, const std::optional<QByteArray> &value)
{
    setValue(field, value ? QVariant(*value) : QVariant());
}

bool ClipboardItem::boolean(ItemField field) const
{
    return slot(field).toBool();
}
void ClipboardItem::setBoolean(ItemField field, bool value)
{
    setValue(field, value);
}

std::optional<bool> ClipboardItem::optionalBool(ItemField field) const
{
    const QVariant &v = slot(field);
    return v.isNull() ? std::nullopt : std::optional<bool>(v.toBool());
}

void ClipboardItem::setOptionalBool(ItemField field, std::optional<bool> value)
{
    setValue(field, value ? QVariant(*value) : QVariant());
}

std::optional<int> ClipboardItem::integer(ItemField field) const
{
    const QVariant &v = slot(field);
    return v.isNull() ? std::nullopt : std::optional<int>(int(v.toLongLong()));
}

void ClipboardItem::setInteger(ItemField field, std::optional<int> value)
{
    setValue(field, value ? QVariant(qint64(*value)) : QVariant());
}

ClipboardItemPtr ClipboardItem::pinnedReference() const
{
    if (!m_pinnedReference && m_pinnedReferenceRow != 0 && m_context) {
        auto *self = const_cast<ClipboardItem *>(this);
        self->m_pinnedReference = m_context->model(PersistentIdentifier { m_pinnedReferenceRow });
        if (!self->m_pinnedReference)
            self->m_pinnedReferenceRow = 0; // the row is gone: the store has cleared it
    }
    return m_pinnedReference;
}

void ClipboardItem::setPinnedReference(const ClipboardItemPtr &item)
{
    if (item.get() == pinnedReference().get())
        return;
    m_pinnedReference = item;
    m_pinnedReferenceRow = item ? item->persistentModelID().value : 0;
    m_dirty.set(std::size_t(ItemField::pinnedReference));
    ++m_searchRevision;
    // Only a picture without bytes of its own takes its digest from the item it stands for.
    // (Whether it has bytes is known without reading them from the store.)
    const auto imageSlot = std::size_t(ItemField::mediaImageData);
    const bool hasImageData = m_externalLoaded.test(imageSlot) ? m_values.has(ItemField::mediaImageData)
                                                               : m_externalPresent.test(imageSlot);
    if (type() == ClipboardItemType::media && !fileURLString() && !hasImageData)
        forgetContentHash();
    if (m_context)
        m_context->itemDidChange(this, ItemField::pinnedReference);
}

QList<ClipboardItemPtr> ClipboardItem::referencingItems() const
{
    if (!m_context)
        return {};
    return m_context->referencingItems(*this);
}

void ClipboardItem::releaseExternalData()
{
    if (!m_context || m_identifier.isTemporary())
        return;
    for (const FieldInfo &info : itemSchema()) {
        const auto index = std::size_t(info.field);
        if (info.external && !m_dirty.test(index)) {
            m_externalLoaded.reset(index);
            m_values.remove(info.field);
        }
    }
}
