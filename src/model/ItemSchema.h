#pragma once

#include <QString>

#include <array>
#include <cstddef>

// The persisted properties of a clipboard item, in schema order. The store's columns,
// the dirty tracking and fetch predicates all speak in these.
enum class ItemField : int {
    id,
    timestamp,
    itemType,
    textContent,
    extendedTextData,
    htmlContent,
    fileURLString,
    fileBookmarkData,
    colorHex,
    originalColorFormat,
    mediaThumbnailData,
    mediaImageData,
    mediaSubtypeRaw,
    previewText,
    fileThumbnailData,
    mediaPreviewData,
    filePreviewData,
    linkPreviewData,
    highlightedLinesData,
    highlightedLinesTheme,
    highlightedLinesIsDark,
    codeAsText,
    codeLanguage,
    codeConfidence,
    magikaTopLabel,
    guesslangLanguage,
    guesslangConfidence,
    isFromPasswordManager,
    linkTitle,
    linkDescription,
    linkThumbnailData,
    sourceAppBundleIdentifier,
    sourceAppName,
    isPinned,
    pinnedTimestamp,
    pinnedLabel,
    pinnedReference,
    referencingItems,
    additionalFileURLStringsJoined,
};

inline constexpr std::size_t itemFieldCount = 39;

// How a property is kept: its value type, whether it may be missing, and where its bytes live.
enum class FieldType { uuid, date, string, data, boolean, integer, relationship, inverseRelationship };

struct FieldInfo
{
    ItemField field;
    const char *name;
    FieldType type;
    bool optional;
    // Large values kept outside the item's row: never read by list fetches, loaded on first access.
    bool external;
};

const std::array<FieldInfo, itemFieldCount> &itemSchema();
const FieldInfo &fieldInfo(ItemField field);
inline int fieldIndex(ItemField field)
{
    return int(field);
}

// The schema version written into every store file.
inline const QString itemSchemaVersion = QStringLiteral("1.0.0");
