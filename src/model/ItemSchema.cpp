#include "model/ItemSchema.h"

#include "model/ItemFieldValues.h"

namespace {
using enum FieldType;
constexpr bool required = false;
constexpr bool optional = true;
constexpr bool inRow = false;
constexpr bool external = true;

constexpr std::array<FieldInfo, itemFieldCount> schema { {
    { ItemField::id, "id", uuid, required, inRow },
    { ItemField::timestamp, "timestamp", date, required, inRow },
    { ItemField::itemType, "itemType", string, required, inRow },
    { ItemField::textContent, "textContent", string, optional, inRow },
    { ItemField::extendedTextData, "extendedTextData", data, optional, external },
    { ItemField::htmlContent, "htmlContent", string, optional, external },
    { ItemField::fileURLString, "fileURLString", string, optional, inRow },
    { ItemField::fileBookmarkData, "fileBookmarkData", data, optional, external },
    { ItemField::colorHex, "colorHex", string, optional, inRow },
    { ItemField::originalColorFormat, "originalColorFormat", string, optional, inRow },
    { ItemField::mediaThumbnailData, "mediaThumbnailData", data, optional, external },
    { ItemField::mediaImageData, "mediaImageData", data, optional, external },
    { ItemField::mediaSubtypeRaw, "mediaSubtypeRaw", string, optional, inRow },
    { ItemField::previewText, "previewText", string, optional, inRow },
    { ItemField::fileThumbnailData, "fileThumbnailData", data, optional, external },
    { ItemField::mediaPreviewData, "mediaPreviewData", data, optional, external },
    { ItemField::filePreviewData, "filePreviewData", data, optional, external },
    { ItemField::linkPreviewData, "linkPreviewData", data, optional, external },
    { ItemField::highlightedLinesData, "highlightedLinesData", data, optional, external,
        maxHighlightedLinesBytes },
    { ItemField::highlightedLinesTheme, "highlightedLinesTheme", string, optional, inRow },
    { ItemField::highlightedLinesIsDark, "highlightedLinesIsDark", boolean, optional, inRow },
    { ItemField::codeAsText, "codeAsText", boolean, required, inRow },
    { ItemField::codeLanguage, "codeLanguage", string, optional, inRow },
    { ItemField::codeConfidence, "codeConfidence", integer, optional, inRow },
    { ItemField::magikaTopLabel, "magikaTopLabel", string, optional, inRow },
    { ItemField::guesslangLanguage, "guesslangLanguage", string, optional, inRow },
    { ItemField::guesslangConfidence, "guesslangConfidence", integer, optional, inRow },
    { ItemField::isFromPasswordManager, "isFromPasswordManager", boolean, required, inRow },
    { ItemField::linkTitle, "linkTitle", string, optional, inRow },
    { ItemField::linkDescription, "linkDescription", string, optional, inRow },
    { ItemField::linkThumbnailData, "linkThumbnailData", data, optional, external },
    { ItemField::sourceAppBundleIdentifier, "sourceAppBundleIdentifier", string, optional, inRow },
    { ItemField::sourceAppName, "sourceAppName", string, optional, inRow },
    { ItemField::isPinned, "isPinned", boolean, required, inRow },
    { ItemField::pinnedTimestamp, "pinnedTimestamp", date, optional, inRow },
    { ItemField::pinnedLabel, "pinnedLabel", string, optional, inRow },
    { ItemField::pinnedReference, "pinnedReference", relationship, optional, inRow },
    { ItemField::referencingItems, "referencingItems", inverseRelationship, required, inRow },
    { ItemField::additionalFileURLStringsJoined, "additionalFileURLStringsJoined", string, optional, inRow },
    // A long file list: the joined strings above hold only its first addresses; these are how
    // many further files there are, and every further address.
    { ItemField::additionalFileCount, "additionalFileCount", integer, optional, inRow },
    { ItemField::additionalFileURLListData, "additionalFileURLListData", data, optional, external },
} };

// The fields whose schema entry satisfies `is`, as a mask of their bits.
constexpr quint64 fieldMask(bool (*is)(const FieldInfo &))
{
    quint64 mask = 0;
    for (const FieldInfo &info : schema)
        mask |= is(info) ? quint64(1) << int(info.field) : 0;
    return mask;
}

// An item's values read a missing required Boolean as false without a lookup in the schema.
static_assert(ItemFieldValues::requiredBooleans
        == fieldMask([](const FieldInfo &info) { return info.type == boolean && !info.optional; }),
    "the item's required Booleans are the schema's");
} // namespace

const std::array<FieldInfo, itemFieldCount> &itemSchema()
{
    return schema;
}

quint64 externalFieldMask()
{
    static constexpr quint64 mask = fieldMask([](const FieldInfo &info) { return info.external; });
    return mask;
}

const FieldInfo &fieldInfo(ItemField field)
{
    return schema[std::size_t(field)];
}
