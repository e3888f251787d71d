#include "support/TestSupport.h"

#include "common/Diagnostics.h"
#include "platform/Bundle.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QRandomGenerator>
#include <QThread>

#include <atomic>

#include <memory>
#include <sys/stat.h>

namespace {
QMutex g_linesMutex;
QStringList g_lines;

void collect(const QString &line)
{
    QMutexLocker lock(&g_linesMutex);
    g_lines.append(line);
}
} // namespace

CapturedDiagnostics::CapturedDiagnostics()
{
    QMutexLocker lock(&g_linesMutex);
    g_lines.clear();
    setDiagnosticSink(&collect);
}

CapturedDiagnostics::~CapturedDiagnostics()
{
    setDiagnosticSink(nullptr);
}

QStringList CapturedDiagnostics::lines() const
{
    QMutexLocker lock(&g_linesMutex);
    return g_lines;
}

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void runWhileRepeating(const std::function<void()> &background, const std::function<void()> &foreground)
{
    std::atomic<bool> stop = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        while (!stop)
            background();
    }));
    thread->start();
    foreground();
    stop = true;
    thread->wait();
}

QString testDataPath(const QString &relativePath)
{
    return QStringLiteral(TINDLEWICK_TEST_DATA_DIR "/") + relativePath;
}

void PrintTo(const QString &value, std::ostream *out)
{
    *out << '"' << value.toStdString() << '"';
}

void PrintTo(const QByteArray &value, std::ostream *out)
{
    *out << "bytes(" << value.size() << ")\"" << value.left(64).toHex().toStdString()
         << (value.size() > 64 ? "..." : "") << '"';
}

void PrintTo(const QVariant &value, std::ostream *out)
{
    *out << value.typeName() << '(' << value.toString().toStdString() << ')';
}

TemporaryResourceFolder::TemporaryResourceFolder()
{
    Bundle::setResourceDirectoryOverride(m_dir.path());
}

TemporaryResourceFolder::~TemporaryResourceFolder()
{
    Bundle::setResourceDirectoryOverride(QString());
}

bool TemporaryResourceFolder::write(const QString &relativePath, const QByteArray &bytes) const
{
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

void TemporaryResourceFolder::clear() const
{
    QDir dir(m_dir.path());
    for (const QString &entry : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QFileInfo info(dir.filePath(entry));
        if (info.isDir() && !info.isSymLink())
            QDir(info.filePath()).removeRecursively();
        else
            dir.remove(entry);
    }
}

namespace {

// Bits of a deflate stream, least significant first; Huffman codes go in most significant
// bit first.
class BitWriter
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

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (24 - 8 * i)) & 0xFF);
    return bytes;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    const QByteArray body = QByteArray(type, 4) + data;
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : body) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return bigEndian(quint32(data.size())) + body + bigEndian(crc ^ 0xFFFFFFFFu);
}

} // namespace

QByteArray pngBomb(quint32 width, quint32 height, int bitDepth, bool palette)
{
    // Every row is a filter byte and `width` pixels, all zero.
    const quint64 total = quint64(height) * ((quint64(width) * quint64(bitDepth) + 7) / 8 + 1);
    BitWriter deflate;
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
    const quint32 adler = quint32((total % 65521u) << 16) | 1u;
    const QByteArray zlib = QByteArray("\x78\x01", 2) + deflate.finish() + bigEndian(adler);

    QByteArray header = bigEndian(width) + bigEndian(height);
    header += char(bitDepth);
    header += char(palette ? 3 : 0); // indexed or greyscale
    header += QByteArray("\x00\x00\x00", 3); // deflate, no filter, no interlace
    // Black and white for an indexed picture.
    const QByteArray colours
        = palette ? pngChunk("PLTE", QByteArray("\x00\x00\x00\xFF\xFF\xFF", 6)) : QByteArray();
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", header) + colours + pngChunk("IDAT", zlib)
        + pngChunk("IEND", QByteArray());
}

QByteArray greyscalePngBomb(quint32 width, quint32 height, int bitDepth)
{
    return pngBomb(width, height, bitDepth, false);
}

QByteArray indexedPngBomb(quint32 width, quint32 height)
{
    return pngBomb(width, height, 1, true);
}

QByteArray pngBytes(QSize size, QColor color, bool noise)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    for (int y = 0; noise && y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = 0xFF000000u | (QRandomGenerator::global()->generate() & 0xFFFFFFu);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

unsigned fileMode(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}
