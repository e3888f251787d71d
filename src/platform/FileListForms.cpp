#include "platform/FileListForms.h"

#include <QString>

#include <cstring>

FileListForms::FileListForms(QByteArray lines)
    : m_lines(std::move(lines))
    , m_count(m_lines.count('\n'))
{ }

const QList<FileListForms::Target> &FileListForms::targets()
{
    static const QList<Target> all {
        { "text/uri-list", "text/uri-list" },
        { "x-special/gnome-copied-files", "x-special/gnome-copied-files" },
        { "text/x-moz-url", "text/x-moz-url" },
        { "UTF8_STRING", "UTF8_STRING" },
        { "text/plain;charset=utf-8", "text/plain;charset=utf-8" },
        { "text/plain", "text/plain" },
        { "STRING", "STRING" },
        { "TEXT", "STRING" },
    };
    return all;
}

std::optional<FileListForms::Reader::Kind> FileListForms::kindOf(QByteArrayView target)
{
    if (target == "text/uri-list")
        return Reader::Kind::uriList;
    if (target == "x-special/gnome-copied-files")
        return Reader::Kind::copiedFiles;
    if (target == "text/x-moz-url")
        return Reader::Kind::mozillaUrl;
    for (const Target &offered : targets()) {
        if (offered.name == target)
            return Reader::Kind::text;
    }
    return std::nullopt;
}

qsizetype FileListForms::size(QByteArrayView target) const
{
    const std::optional<Reader::Kind> kind = kindOf(target);
    if (!kind)
        return -1;
    switch (*kind) {
    case Reader::Kind::text:
        return m_lines.size();
    case Reader::Kind::uriList:
        return m_lines.size() + m_count;
    case Reader::Kind::copiedFiles:
        // "copy", then each address on a line of its own, without a last line end.
        return 4 + m_lines.size() - (m_lines.endsWith('\n') ? 1 : 0) + (m_lines.isEmpty() ? 0 : 1);
    case Reader::Kind::mozillaUrl:
        return mozillaUrl().size();
    }
    return -1;
}

// The first address and a line end, in UTF-16 as Mozilla's type has it.
QByteArray FileListForms::mozillaUrl() const
{
    const qsizetype end = m_lines.indexOf('\n');
    const QString first = QString::fromLatin1(m_lines.first(end < 0 ? m_lines.size() : end)) + u'\n';
    return QByteArray(reinterpret_cast<const char *>(first.utf16()), first.size() * 2);
}

std::optional<FileListForms::Reader> FileListForms::reader(QByteArrayView target) const
{
    const std::optional<Reader::Kind> kind = kindOf(target);
    if (!kind)
        return std::nullopt;
    return Reader(*this, *kind);
}

QByteArray FileListForms::whole(QByteArrayView target) const
{
    std::optional<Reader> form = reader(target);
    if (!form)
        return {};
    return form->next(std::max<qsizetype>(1, size(target)));
}

FileListForms::Reader::Reader(const FileListForms &forms, Kind kind)
    : m_lines(forms.m_lines)
    , m_kind(kind)
    , m_end(forms.m_lines.size())
{
    switch (kind) {
    case Kind::text:
    case Kind::uriList:
        break;
    case Kind::copiedFiles:
        m_prefix = m_lines.isEmpty() ? QByteArray("copy") : QByteArray("copy\n");
        if (m_lines.endsWith('\n'))
            --m_end;
        break;
    case Kind::mozillaUrl:
        m_prefix = forms.mozillaUrl();
        m_end = 0;
        break;
    }
}

QByteArray FileListForms::Reader::next(qsizetype maxBytes)
{
    QByteArray out;
    const qsizetype left = m_prefix.size() - m_prefixRead + m_end - m_position + (m_lineFeedDue ? 1 : 0);
    out.reserve(std::min(maxBytes, m_kind == Kind::uriList ? left + left / 16 : left));
    if (m_prefixRead < m_prefix.size()) {
        const qsizetype taken = std::min(maxBytes, m_prefix.size() - m_prefixRead);
        out.append(m_prefix.constData() + m_prefixRead, taken);
        m_prefixRead += taken;
    }
    appendLines(out, maxBytes);
    return out;
}

void FileListForms::Reader::appendLines(QByteArray &out, qsizetype maxBytes)
{
    if (m_kind != Kind::uriList) {
        const qsizetype taken = std::min(maxBytes - out.size(), m_end - m_position);
        out.append(m_lines.constData() + m_position, taken);
        m_position += taken;
        return;
    }
    // Each '\n' of the list goes out as "\r\n", which may fall on either side of a piece's end.
    while (out.size() < maxBytes) {
        if (m_lineFeedDue) {
            out.append('\n');
            ++m_position;
            m_lineFeedDue = false;
            continue;
        }
        if (m_position == m_end)
            return;
        const qsizetype room = std::min(maxBytes - out.size(), m_end - m_position);
        const char *start = m_lines.constData() + m_position;
        const auto *lineEnd = static_cast<const char *>(std::memchr(start, '\n', size_t(room)));
        const qsizetype text = lineEnd ? qsizetype(lineEnd - start) : room;
        out.append(start, text);
        m_position += text;
        if (lineEnd && out.size() < maxBytes) {
            out.append('\r');
            m_lineFeedDue = true;
        }
    }
}
