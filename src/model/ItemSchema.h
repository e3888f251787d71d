#pragma once

#include <QString>
#include <QtGlobal>

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
    additionalFileCount,
    additionalFileURLListData,
};

inline constexpr std::size_t itemFieldCount = 41;

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
    // Of an external value: a stored one of more bytes (or one that is no data) is never read
    // and counts as missing. 0: any size is read.
    qsizetype maxStoredBytes = 0;
};

// The largest highlighted lines read from the store. The app writes far less (the preview lines
// of an item are at most 40 lines of 20,000 UTF-16 units in all; HighlightedLinesBlobTest
// checks the largest it can write), so a larger entry comes from a damaged or edited store: it
// is dropped unread, and the lines are made again.
inline constexpr qsizetype maxHighlightedLinesBytes = qsizetype(2) * 1024 * 1024;

const std::array<FieldInfo, itemFieldCount> &itemSchema();
const FieldInfo &fieldInfo(ItemField field);
// The fields kept outside the item's row, one bit each (1 << the field's index).
quint64 externalFieldMask();
inline int fieldIndex(ItemField field)
{
    return int(field);
}

// The schema version written into every store file.
inline const QString itemSchemaVersion = QStringLiteral("1.0.0");
