#pragma once

// Pictures for tests: encoded images, three colour bands, and PNGs that claim a huge picture in
// a few kilobytes (decompression bombs).

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
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

// A picture of random pixels, encoded as PNG: large once encoded, as photographs are.
inline QByteArray noisyPng(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = 0xFF000000u | (QRandomGenerator::global()->generate() & 0xFFFFFFu);
    }
    return encoded(image, "png");
}

// Bits of a deflate stream, least significant first; Huffman codes go in most significant
// bit first.
class DeflateBits
{
public:
    void bits(quint32 value, int count)
    {
        for (int i = 0; i < count; ++i)
            bit((value >> i) & 1u);
    }
    void code(quint32 value, int length)
    {
        for (int i = length - 1; i >= 0; --i)
            bit((value >> i) & 1u);
    }
    QByteArray finish()
    {
        if (m_used > 0)
            m_bytes.append(char(m_current));
        return m_bytes;
    }

private:
    void bit(quint32 value)
    {
        m_current |= quint8(value << m_used);
        if (++m_used == 8) {
            m_bytes.append(char(m_current));
            m_current = 0;
            m_used = 0;
        }
    }
    QByteArray m_bytes;
    quint8 m_current = 0;
    int m_used = 0;
};

// A valid PNG of an all-black greyscale (or two-colour indexed) picture. Its zlib stream is
// written by hand as runs of zeros, so a picture that takes gigabytes once decoded is a few
// megabytes here and is made without ever holding the pixels.
inline QByteArray zeroPng(quint32 width, quint32 height, int bitDepth, bool indexed)
{
    // Every row is a filter byte and its pixels, all zero.
    const quint64 total = quint64(height) * ((quint64(width) * quint64(bitDepth) + 7) / 8 + 1);
    DeflateBits deflate;
    deflate.bits(1, 1); // the last block
    deflate.bits(1, 2); // fixed Huffman codes
    deflate.code(0x30, 8); // the literal 0
    quint64 written = 1;
    while (total - written >= 258) {
        deflate.code(0xC5, 8); // length 258 (code 285)
        deflate.code(0, 5); // distance 1
        written += 258;
    }
    for (; written < total; ++written)
        deflate.code(0x30, 8);
    deflate.code(0, 7); // end of block
    // Adler-32 of `total` zero bytes: the first sum stays 1, the second is the count.
    QByteArray adler(4, '\0');
    qToBigEndian(quint32((total % 65521u) << 16) | 1u, adler.data());
    const QByteArray zlib = QByteArray("\x78\x01", 2) + deflate.finish() + adler;

    QByteArray header(13, '\0');
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = char(bitDepth);
    header[9] = char(indexed ? 3 : 0);
    const QByteArray palette
        = indexed ? pngChunk("PLTE", QByteArray("\x00\x00\x00\xFF\xFF\xFF", 6)) : QByteArray();
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", header) + palette + pngChunk("IDAT", zlib)
        + pngChunk("IEND", QByteArray());
}

// 8-bit greyscale: a 30000 × 30000 picture is 900 MB once decoded, 5.7 MB here.
inline QByteArray greyscalePngBomb(quint32 width, quint32 height)
{
    return zeroPng(width, height, 8, false);
}

// One bit per pixel, two colours: an eighth of the greyscale one once decoded.
inline QByteArray indexedPngBomb(quint32 width, quint32 height)
{
    return zeroPng(width, height, 1, true);
}
