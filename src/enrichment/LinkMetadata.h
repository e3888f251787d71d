#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What a link's page tells about itself: its title, description and picture, the picture as
// two square PNGs (80 and 400 pixels a side). Every field may be missing; a failed fetch
// leaves all four missing.
struct LinkMetadata
{
    std::optional<QString> title;
    std::optional<QString> description;
    std::optional<QByteArray> thumbnailData;
    std::optional<QByteArray> previewData;

    bool isEmpty() const { return !title && !description && !thumbnailData && !previewData; }
    friend bool operator==(const LinkMetadata &, const LinkMetadata &) = default;
};
