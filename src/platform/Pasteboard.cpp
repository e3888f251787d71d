#include "platform/Pasteboard.h"

QStringList MemoryPasteboard::types() const { return m_contents ? m_contents->formats() : QStringList(); }

std::optional<QByteArray> MemoryPasteboard::data(const QString &type) const
{
    if (!m_contents || !m_contents->hasFormat(type))
        return std::nullopt;
    return m_contents->data(type);
}

void MemoryPasteboard::writeContents(std::unique_ptr<QMimeData> contents)
{
    m_contents = std::move(contents);
    ++m_changeCount;
}

void MemoryPasteboard::clearContents()
{
    m_contents.reset();
    ++m_changeCount;
}
