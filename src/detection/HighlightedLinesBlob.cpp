#include "detection/HighlightedLinesBlob.h"

#include <QBrush>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <cstring>

namespace {

constexpr char magic[4] = { 'T', 'W', 'A', 'T' };

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

// The members of a blob that is a JSON object, or nothing.
std::optional<QJsonObject> members(const QByteArray &blob)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(blob, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<AttributedText> lineOf(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    const QByteArray::FromBase64Result bytes = QByteArray::fromBase64Encoding(
        value.toString().toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!bytes)
        return std::nullopt;
    return HighlightedLinesBlob::unarchive(*bytes);
}

} // namespace

namespace HighlightedLinesBlob {

QString lineName(QStringView context, int lineIndex)
{
    return context + u'_' + QString::number(lineIndex);
}

QByteArray archive(const AttributedText &text)
{
    Writer writer;
    writer.bytes(QByteArray(magic, 4));
    writer.u8(archiveVersion);
    writer.text(text.text);
    writer.u32(quint32(text.formats.size()));
    for (const QTextLayout::FormatRange &range : text.formats) {
        writer.u32(quint32(range.start));
        writer.u32(quint32(range.length));
        writeFormat(writer, range.format);
    }
    return writer.data();
}

std::optional<AttributedText> unarchive(QByteArrayView bytes)
{
    Reader reader(bytes.data(), bytes.size());
    const QByteArrayView header = reader.bytes(4);
    const quint8 version = reader.read<quint8>();
    if (!reader.ok() || std::memcmp(header.data(), magic, 4) != 0 || version != archiveVersion)
        return std::nullopt;
    std::optional<AttributedText> text = readText(reader);
    if (!text || reader.remaining() != 0)
        return std::nullopt;
    return text;
}

QByteArray encode(const Lines &lines)
{
    QJsonObject object;
    for (auto it = lines.constBegin(); it != lines.constEnd(); ++it)
        object.insert(it.key(), QString::fromLatin1(archive(*it).toBase64()));
    // A slash can only stand inside a string; it is written escaped, as JSON writers on other
    // systems write this object.
    return QJsonDocument(object).toJson(QJsonDocument::Compact).replace("/", "\\/");
}

std::optional<Lines> decode(const QByteArray &blob)
{
    const std::optional<QJsonObject> found = members(blob);
    if (!found)
        return std::nullopt;
    Lines lines;
    for (auto it = found->constBegin(); it != found->constEnd(); ++it) {
        std::optional<AttributedText> text = lineOf(it.value());
        if (it.key().isEmpty() || !text)
            return std::nullopt;
        lines.insert(it.key(), std::move(*text));
    }
    return lines;
}

std::optional<AttributedText> line(const QByteArray &blob, QStringView name)
{
    const std::optional<QJsonObject> found = members(blob);
    if (!found)
        return std::nullopt;
    const auto member = found->constFind(name);
    if (member == found->constEnd())
        return std::nullopt;
    return lineOf(member.value());
}

bool hasContext(const QByteArray &blob, QStringView context)
{
    const QString prefix = context + u'_';
    const std::optional<Lines> lines = decode(blob);
    if (!lines)
        return false;
    for (auto it = lines->constBegin(); it != lines->constEnd(); ++it) {
        if (it.key().size() > prefix.size() && it.key().startsWith(prefix))
            return true;
    }
    return false;
}

} // namespace HighlightedLinesBlob
