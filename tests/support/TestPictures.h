#pragma once

// Pictures for tests: encoded images, three colour bands, and PNGs that claim a huge picture in
// a few kilobytes (decompression bombs).

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

inline QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    EXPECT_TRUE(writer.write(image)) << format;
    return bytes;
}

// A picture of one colour, encoded.
inline QByteArray encodedColour(QSize size, const QColor &colour, const char *format = "png")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return encoded(image, format);
}

// Three bands across: red quarter, green half, blue quarter.
inline QImage bands(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 4, height, Qt::red);
    painter.fillRect(width / 4, 0, width / 2, height, Qt::green);
    painter.fillRect(width * 3 / 4, 0, width - width * 3 / 4, height, Qt::blue);
    return image;
}

inline quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian(quint32(data.size()), chunk.data());
    QByteArray body = type + data;
    QByteArray crc(4, '\0');
    qToBigEndian(crc32(body), crc.data());
    return chunk + body + crc;
}

// A valid one-bit greyscale PNG of the given size, all black: tiny on disk whatever its size.
inline QByteArray blackPng(quint32 width, quint32 height)
{
    QByteArray header(13, '\0');
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = 1; // bit depth
    header[9] = 0; // greyscale
    const QByteArray rows(qsizetype(height) * (1 + (width + 7) / 8), '\0');
    const QByteArray compressed = qCompress(rows, 9).sliced(4); // the zlib stream without Qt's length
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", compressed)
        + pngChunk("IEND", QByteArray());
}
