#pragma once

#include <QByteArray>

#include <optional>

// A link's picture made ready for storing: two square PNGs, each missing when it could not be
// made.
struct LinkPictures
{
    std::optional<QByteArray> thumbnailData; // 80 x 80 pixels
    std::optional<QByteArray> previewData; // 400 x 400 pixels

    friend bool operator==(const LinkPictures &, const LinkPictures &) = default;

    static constexpr int thumbnailSide = 80;
    static constexpr int previewSide = 400;
    // Larger pictures are refused before they are decoded: a few kilobytes of PNG can
    // describe gigabytes of pixels.
    static constexpr qint64 maxPixelCount = 40'000'000;

    // Decodes downloaded image bytes and makes both squares. Nothing for bytes that are not
    // an image, whose size cannot be read without decoding, or that hold more than
    // maxPixelCount pixels.
    static LinkPictures fromImageData(const QByteArray &bytes);
};
