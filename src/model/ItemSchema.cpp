#include "model/ItemSchema.h"

namespace {
using enum FieldType;
constexpr bool required = false;
constexpr bool optional = true;
constexpr bool inRow = false;
constexpr bool external = true;

const std::array<FieldInfo, itemFieldCount> schema { {
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
} // namespace

const std::array<FieldInfo, itemFieldCount> &itemSchema()
{
    return schema;
}

const FieldInfo &fieldInfo(ItemField field)
{
    return schema[std::size_t(field)];
}
