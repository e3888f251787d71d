#include "detection/HighlightedLinesBlob.h"

#include <QBrush>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr char magic[4] = { 'T', 'W', 'H', 'L' };
constexpr qsizetype headerSize = 4 + 1 + 1 + 2 + 4 + 4 + 8;

enum RunFlag : quint16 {
    foreground = 0x01,
    weight = 0x02,
    italicGiven = 0x04,
    italicValue = 0x08,
    underlineGiven = 0x10,
    underlineValue = 0x20,
    underlineStyle = 0x40,
    strikeOutGiven = 0x80,
    strikeOutValue = 0x100,
};

class Writer
{
public:
    void u8(quint8 value) { m_bytes.append(char(value)); }
    void u16(quint16 value) { append(qToLittleEndian(value)); }
    void u32(quint32 value) { append(qToLittleEndian(value)); }
    void u64(quint64 value) { append(qToLittleEndian(value)); }
    void bytes(const QByteArray &bytes) { m_bytes.append(bytes); }
    void text(const QString &text)
    {
        u32(quint32(text.size()));
        for (QChar c : text)
            u16(c.unicode());
    }
    QByteArray &data() { return m_bytes; }

private:
    template <typename T> void append(T value)
    {
        m_bytes.append(reinterpret_cast<const char *>(&value), sizeof value);
    }
    QByteArray m_bytes;
};

// Reads forward within its bytes; every read that would pass the end fails, and a failed
// reader stays failed.
class Reader
{
public:
    Reader(const char *data, qsizetype size)
        : m_data(data)
        , m_size(size)
    { }

    bool ok() const { return m_ok; }
    qsizetype remaining() const { return m_size - m_position; }
    qsizetype position() const { return m_position; }

    template <typename T> T read()
    {
        T value {};
        if (!take(sizeof value))
            return value;
        std::memcpy(&value, m_data + m_position - qsizetype(sizeof value), sizeof value);
        return qFromLittleEndian(value);
    }
    QByteArrayView bytes(qsizetype count)
    {
        if (count < 0 || !take(count))
            return {};
        return QByteArrayView(m_data + m_position - count, count);
    }
    bool skip(qsizetype count) { return count >= 0 && take(count); }

private:
    bool take(qsizetype count)
    {
        if (!m_ok || count > remaining()) {
            m_ok = false;
            return false;
        }
        m_position += count;
        return true;
    }

    const char *m_data;
    qsizetype m_size;
    qsizetype m_position = 0;
    bool m_ok = true;
};

void writeFormat(Writer &writer, const QTextCharFormat &format)
{
    quint16 flags = 0;
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        flags |= foreground;
    if (format.hasProperty(QTextFormat::FontWeight))
        flags |= weight;
    if (format.hasProperty(QTextFormat::FontItalic))
        flags |= italicGiven | (format.fontItalic() ? italicValue : 0);
    if (format.hasProperty(QTextFormat::FontUnderline))
        flags |= underlineGiven | (format.boolProperty(QTextFormat::FontUnderline) ? underlineValue : 0);
    if (format.hasProperty(QTextFormat::TextUnderlineStyle))
        flags |= underlineStyle;
    if (format.hasProperty(QTextFormat::FontStrikeOut))
        flags |= strikeOutGiven | (format.fontStrikeOut() ? strikeOutValue : 0);
    writer.u16(flags);
    if (flags & foreground)
        writer.u32(format.foreground().color().rgba());
    if (flags & weight)
        writer.u16(quint16(format.intProperty(QTextFormat::FontWeight)));
    if (flags & underlineStyle)
        writer.u8(quint8(format.intProperty(QTextFormat::TextUnderlineStyle)));
}

QTextCharFormat readFormat(Reader &reader)
{
    QTextCharFormat format;
    const quint16 flags = reader.read<quint16>();
    if (flags & foreground)
        format.setProperty(QTextFormat::ForegroundBrush, QBrush(QColor::fromRgba(reader.read<quint32>())));
    if (flags & weight)
        format.setProperty(QTextFormat::FontWeight, int(reader.read<quint16>()));
    if (flags & italicGiven)
        format.setProperty(QTextFormat::FontItalic, bool(flags & italicValue));
    if (flags & underlineGiven)
        format.setProperty(QTextFormat::FontUnderline, bool(flags & underlineValue));
    if (flags & underlineStyle)
        format.setProperty(QTextFormat::TextUnderlineStyle, int(reader.read<quint8>()));
    if (flags & strikeOutGiven)
        format.setProperty(QTextFormat::FontStrikeOut, bool(flags & strikeOutValue));
    return format;
}

std::optional<AttributedText> readText(Reader &reader)
{
    const quint32 length = reader.read<quint32>();
    const QByteArrayView units = reader.bytes(qsizetype(length) * 2);
    if (!reader.ok())
        return std::nullopt;
    AttributedText result;
    result.text.resize(qsizetype(length));
    for (quint32 i = 0; i < length; ++i)
        result.text[i] = QChar(qFromLittleEndian<quint16>(units.data() + 2 * i));
    const quint32 runCount = reader.read<quint32>();
    // A run takes at least 10 bytes: no count can promise more runs than bytes remain for.
    if (!reader.ok() || runCount > quint64(reader.remaining()) / 10)
        return std::nullopt;
    result.formats.reserve(runCount);
    for (quint32 i = 0; i < runCount; ++i) {
        const quint32 start = reader.read<quint32>();
        const quint32 runLength = reader.read<quint32>();
        QTextCharFormat format = readFormat(reader);
        if (!reader.ok() || quint64(start) + runLength > length)
            return std::nullopt;
        result.formats.append({ int(start), int(runLength), format });
    }
    return result;
}

// The payload of a sound blob, or nothing.
std::optional<Reader> payload(const QByteArray &blob, quint32 *entryCount)
{
    if (blob.size() < headerSize || std::memcmp(blob.constData(), magic, 4) != 0)
        return std::nullopt;
    Reader header(blob.constData() + 4, headerSize - 4);
    const quint8 blobVersion = header.read<quint8>();
    const quint8 reserved = header.read<quint8>();
    const quint16 reservedWord = header.read<quint16>();
    *entryCount = header.read<quint32>();
    const quint32 payloadSize = header.read<quint32>();
    const quint64 sum = header.read<quint64>();
    if (!header.ok() || blobVersion != HighlightedLinesBlob::version || reserved != 0 || reservedWord != 0
        || qsizetype(payloadSize) != blob.size() - headerSize)
        return std::nullopt;
    const char *data = blob.constData() + headerSize;
    if (HighlightedLinesBlob::checksum(data, payloadSize) != sum)
        return std::nullopt;
    return Reader(data, payloadSize);
}

struct Entry
{
    QByteArrayView name; // UTF-8
    QByteArrayView body; // the text and its runs
};

// The entries of a blob whose header, checksum and framing are sound: every entry within
// the payload, named, no name twice, nothing left over. Nothing otherwise.
std::optional<QList<Entry>> entries(const QByteArray &blob)
{
    quint32 count = 0;
    std::optional<Reader> reader = payload(blob, &count);
    // An entry takes at least 6 bytes (its size and its name's size).
    if (!reader || count > quint64(reader->remaining()) / 6)
        return std::nullopt;
    QList<Entry> found;
    found.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const quint32 entrySize = reader->read<quint32>();
        const QByteArrayView entry = reader->bytes(qsizetype(entrySize));
        Reader entryReader(entry.data(), entry.size());
        const quint16 nameSize = entryReader.read<quint16>();
        const QByteArrayView name = entryReader.bytes(nameSize);
        if (!reader->ok() || !entryReader.ok() || name.isEmpty())
            return std::nullopt;
        found.append({ name, entry.sliced(entryReader.position()) });
    }
    if (reader->remaining() != 0)
        return std::nullopt;
    QList<QByteArrayView> names;
    names.reserve(found.size());
    for (const Entry &entry : std::as_const(found))
        names.append(entry.name);
    std::sort(names.begin(), names.end());
    if (std::adjacent_find(names.begin(), names.end()) != names.end())
        return std::nullopt;
    return found;
}

// The text of one entry, which must take the entry's bytes exactly.
std::optional<AttributedText> entryText(const Entry &entry)
{
    Reader reader(entry.body.data(), entry.body.size());
    std::optional<AttributedText> text = readText(reader);
    if (!text || reader.remaining() != 0)
        return std::nullopt;
    return text;
}

} // namespace

namespace HighlightedLinesBlob {

QString lineName(QStringView context, int lineIndex)
{
    return context + u'_' + QString::number(lineIndex);
}

quint64 checksum(const char *data, qsizetype size)
{
    constexpr quint64 prime = 0x100000001b3ULL;
    quint64 hash = 0xcbf29ce484222325ULL;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        hash = (hash ^ qFromLittleEndian(word)) * prime;
    }
    for (; i < size; ++i)
        hash = (hash ^ quint8(data[i])) * prime;
    return hash;
}

QByteArray encode(const Lines &lines)
{
    Writer body;
    for (auto it = lines.constBegin(); it != lines.constEnd(); ++it) {
        Writer entry;
        const QByteArray name = it.key().toUtf8();
        entry.u16(quint16(name.size()));
        entry.bytes(name);
        entry.text(it->text);
        entry.u32(quint32(it->formats.size()));
        for (const QTextLayout::FormatRange &range : it->formats) {
            entry.u32(quint32(range.start));
            entry.u32(quint32(range.length));
            writeFormat(entry, range.format);
        }
        body.u32(quint32(entry.data().size()));
        body.bytes(entry.data());
    }
    Writer blob;
    blob.bytes(QByteArray(magic, 4));
    blob.u8(version);
    blob.u8(0);
    blob.u16(0);
    blob.u32(quint32(lines.size()));
    blob.u32(quint32(body.data().size()));
    blob.u64(checksum(body.data().constData(), body.data().size()));
    blob.bytes(body.data());
    return blob.data();
}

std::optional<Lines> decode(const QByteArray &blob)
{
    const std::optional<QList<Entry>> found = entries(blob);
    if (!found)
        return std::nullopt;
    Lines lines;
    for (const Entry &entry : *found) {
        std::optional<AttributedText> text = entryText(entry);
        if (!text)
            return std::nullopt;
        lines.insert(QString::fromUtf8(entry.name), std::move(*text));
    }
    return lines;
}

std::optional<AttributedText> line(const QByteArray &blob, QStringView name)
{
    const QByteArray wanted = name.toUtf8();
    const std::optional<QList<Entry>> found = entries(blob);
    if (!found)
        return std::nullopt;
    for (const Entry &entry : *found) {
        if (entry.name == wanted)
            return entryText(entry);
    }
    return std::nullopt;
}

bool hasContext(const QByteArray &blob, QStringView context)
{
    const QByteArray prefix = context.toUtf8() + '_';
    const std::optional<QList<Entry>> found = entries(blob);
    if (!found)
        return false;
    bool has = false;
    for (const Entry &entry : *found) {
        if (!entryText(entry))
            return false; // not a blob to rely on
        has = has || (entry.name.size() > prefix.size() && entry.name.startsWith(prefix));
    }
    return has;
}

} // namespace HighlightedLinesBlob
