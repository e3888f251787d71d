#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The kinds of history item, stored by their raw strings.
enum class ClipboardItemType { text, link, file, color, media, code };

inline constexpr std::array<ClipboardItemType, 6> allClipboardItemTypes { ClipboardItemType::text,
    ClipboardItemType::link, ClipboardItemType::file, ClipboardItemType::color, ClipboardItemType::media,
    ClipboardItemType::code };

QString rawValue(ClipboardItemType type);
// Exact, case-sensitive match of one of the six raw strings; nothing for anything else.
std::optional<ClipboardItemType> clipboardItemTypeFromRawValue(QStringView raw);

// What kind of media a media item holds, stored by its raw string.
enum class MediaSubtype { image, video, audio };

QString rawValue(MediaSubtype subtype);
std::optional<MediaSubtype> mediaSubtypeFromRawValue(QStringView raw);
