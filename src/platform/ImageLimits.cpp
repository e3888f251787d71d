#include "platform/ImageLimits.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {

// Little- and big-endian numbers at an offset; nothing past the end of the data.
template <typename T> std::optional<T> littleEndianAt(QByteArrayView data, qsizetype offset)
{
    if (offset < 0 || offset + qsizetype(sizeof(T)) > data.size())
        return std::nullopt;
    return qFromLittleEndian<T>(data.data() + offset);
}
std::optional<quint32> bigEndian32At(QByteArrayView data, qsizetype offset)
{
    if (offset < 0 || offset + 4 > data.size())
        return std::nullopt;
    return qFromBigEndian<quint32>(data.data() + offset);
}

QSize clampedSize(qint64 width, qint64 height)
{
    constexpr qint64 most = std::numeric_limits<int>::max();
    return QSize(int(std::min(width, most)), int(std::min(height, most)));
}

// A GIF's decoder draws every frame on a canvas of the logical screen's size (grown to take a
// frame that reaches beyond it), while Qt names the first frame's size, or none without one.
std::optional<QSize> gifCanvas(QByteArrayView data)
{
    if (!data.startsWith("GIF87a") && !data.startsWith("GIF89a"))
        return std::nullopt;
    const auto width = littleEndianAt<quint16>(data, 6);
    const auto height = littleEndianAt<quint16>(data, 8);
    const auto flags = littleEndianAt<quint8>(data, 10);
    if (!width || !height || !flags)
        return std::nullopt;
    qint64 right = *width;
    qint64 bottom = *height;
    const auto colourTable = [](quint8 flags) { return (flags & 0x80) ? 3 * (2 << (flags & 0x07)) : 0; };
    // The blocks after the header: extensions and frames, each ending in its data's sub-blocks.
    qsizetype at = 13 + colourTable(*flags);
    const auto skipSubBlocks = [&] {
        while (const auto length = littleEndianAt<quint8>(data, at)) {
            at += 1 + *length;
            if (*length == 0)
                return true;
        }
        return false;
    };
    while (const auto introducer = littleEndianAt<quint8>(data, at)) {
        if (*introducer == 0x21) {
            at += 2;
        } else if (*introducer == 0x2C) {
            const auto left = littleEndianAt<quint16>(data, at + 1);
            const auto top = littleEndianAt<quint16>(data, at + 3);
            const auto frameWidth = littleEndianAt<quint16>(data, at + 5);
            const auto frameHeight = littleEndianAt<quint16>(data, at + 7);
            const auto frameFlags = littleEndianAt<quint8>(data, at + 9);
            if (!left || !top || !frameWidth || !frameHeight || !frameFlags)
                break;
            right = std::max(right, qint64(*left) + *frameWidth);
            bottom = std::max(bottom, qint64(*top) + *frameHeight);
            // The local colour table, then the LZW code size.
            at += 10 + colourTable(*frameFlags) + 1;
        } else {
            break;
        }
        if (!skipSubBlocks())
            break;
    }
    return clampedSize(right, bottom);
}

// The size a BMP's information header gives (the OS/2 one of 16-bit numbers, the later ones of
// 32-bit numbers, negative heights for top-down rows). Qt names none for a picture of more than
// 16384 × 16384 pixels, which it will not decode either.
std::optional<QSize> dibSize(QByteArrayView data, qsizetype header, int heightDivisor)
{
    const auto headerSize = littleEndianAt<quint32>(data, header);
    if (!headerSize)
        return std::nullopt;
    qint64 width = 0;
    qint64 height = 0;
    if (*headerSize == 12) {
        const auto w = littleEndianAt<quint16>(data, header + 4);
        const auto h = littleEndianAt<quint16>(data, header + 6);
        if (!w || !h)
            return std::nullopt;
        width = *w;
        height = *h;
    } else if (*headerSize >= 40) {
        const auto w = littleEndianAt<qint32>(data, header + 4);
        const auto h = littleEndianAt<qint32>(data, header + 8);
        if (!w || !h)
            return std::nullopt;
        width = std::abs(qint64(*w));
        height = std::abs(qint64(*h));
    } else {
        return std::nullopt;
    }
    return clampedSize(width, height / heightDivisor);
}

std::optional<QSize> bmpSize(QByteArrayView data)
{
    if (!data.startsWith("BM"))
        return std::nullopt;
    return dibSize(data, 14, 1);
}

// An icon (or cursor) holds several pictures, each a PNG or a BMP without its file header
// (whose height counts the mask's rows too); the largest is the one that counts.
std::optional<QSize> iconSize(QByteArrayView data)
{
    const auto reserved = littleEndianAt<quint16>(data, 0);
    const auto type = littleEndianAt<quint16>(data, 2);
    const auto count = littleEndianAt<quint16>(data, 4);
    if (!reserved || !type || !count || *reserved != 0 || (*type != 1 && *type != 2) || *count == 0)
        return std::nullopt;
    std::optional<QSize> largest;
    for (int entry = 0; entry < *count; ++entry) {
        const qsizetype at = 6 + 16 * entry;
        const auto offset = littleEndianAt<quint32>(data, at + 12);
        if (!offset)
            return std::nullopt;
        std::optional<QSize> size;
        if (data.sliced(std::min<qsizetype>(*offset, data.size())).startsWith("\x89PNG\r\n\x1a\n")) {
            const auto w = bigEndian32At(data, *offset + 16);
            const auto h = bigEndian32At(data, *offset + 20);
            if (w && h)
                size = clampedSize(*w, *h);
        } else {
            size = dibSize(data, *offset, 2);
        }
        if (size
            && (!largest
                || qint64(size->width()) * size->height() > qint64(largest->width()) * largest->height()))
            largest = size;
    }
    return largest;
}

} // namespace

namespace ImageLimits {

std::optional<QSize> sizeOf(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    return sizeOf(data, reader);
}

std::optional<QSize> sizeOf(const QByteArray &data, QImageReader &reader)
{
    for (const auto &header : { gifCanvas, bmpSize, iconSize }) {
        if (const std::optional<QSize> size = header(data))
            return size;
    }
    const QSize size = reader.size();
    if (!size.isValid())
        return std::nullopt;
    return size;
}

bool isDecodable(QSize size)
{
    return !size.isEmpty() && qint64(size.width()) * qint64(size.height()) <= maxPixels;
}

} // namespace ImageLimits
