#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>

// How large a picture may be before it is decoded. A small file can claim a picture that
// takes seconds and gigabytes to decode (a decompression bomb): its size is read from the
// header first, and a picture over the limit is never decoded, scaled or not.
class QImageReader;

namespace ImageLimits {

inline constexpr qint64 maxPixels = 40'000'000;

// The pixel size that the data's header claims, read without decoding the picture: for GIF,
// BMP and icons the canvas their decoders make (Qt names a GIF's first frame, and no BMP over
// 16384 × 16384), for the other formats what their image reader names; nothing when no reader
// recognises the data.
std::optional<QSize> sizeOf(const QByteArray &data);
// The same, for a caller that has a reader of the data already: its header is not read again.
std::optional<QSize> sizeOf(const QByteArray &data, QImageReader &reader);
// Whether a picture of this size may be decoded: not empty, and at most maxPixels.
bool isDecodable(QSize size);

} // namespace ImageLimits
