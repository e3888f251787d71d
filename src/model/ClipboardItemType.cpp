#include "model/ClipboardItemType.h"

QString rawValue(ClipboardItemType type)
{
    switch (type) {
    case ClipboardItemType::text:
        return QStringLiteral("text");
    case ClipboardItemType::link:
        return QStringLiteral("link");
    case ClipboardItemType::file:
        return QStringLiteral("file");
    case ClipboardItemType::color:
        return QStringLiteral("color");
    case ClipboardItemType::media:
        return QStringLiteral("media");
    case ClipboardItemType::code:
        return QStringLiteral("code");
    }
    return QStringLiteral("text");
}

std::optional<ClipboardItemType> clipboardItemTypeFromRawValue(QStringView raw)
{
    for (ClipboardItemType type : allClipboardItemTypes) {
        if (raw == rawValue(type))
            return type;
    }
    return std::nullopt;
}

QString rawValue(MediaSubtype subtype)
{
    switch (subtype) {
    case MediaSubtype::image:
        return QStringLiteral("image");
    case MediaSubtype::video:
        return QStringLiteral("video");
    case MediaSubtype::audio:
        return QStringLiteral("audio");
    }
    return QStringLiteral("image");
}

std::optional<MediaSubtype> mediaSubtypeFromRawValue(QStringView raw)
{
    for (MediaSubtype subtype : { MediaSubtype::image, MediaSubtype::video, MediaSubtype::audio }) {
        if (raw == rawValue(subtype))
            return subtype;
    }
    return std::nullopt;
}
