#include "detection/heuristics/LineIndex.h"

namespace {

char16_t folded(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'A' && u <= u'Z') ? char16_t(u + 0x20) : u;
    return QChar::toCaseFolded(u);
}

// A pair ending in U+0000 shares its key with the single character, which only widens
// the answers for either.
quint32 characterKey(char16_t c)
{
    return quint32(c) << 16;
}

quint32 pairKey(char16_t first, char16_t second)
{
    return (quint32(first) << 16) | second;
}

} // namespace

void LineIndex::addLine(qsizetype index, QStringView line)
{
    Q_ASSERT(index >= 0 && index < maxLines);
    m_all.set(index);
    char16_t previous = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t current = folded(line[i]);
        m_lines[characterKey(current)].set(index);
        if (i > 0)
            m_lines[pairKey(previous, current)].set(index);
        previous = current;
    }
}

LineIndex::LineSet LineIndex::lookUp(quint32 key) const
{
    const auto found = m_lines.constFind(key);
    return found == m_lines.cend() ? LineSet() : *found;
}

LineIndex::LineSet LineIndex::linesWith(QStringView text) const
{
    if (text.isEmpty())
        return m_all;
    if (text.size() == 1)
        return lookUp(characterKey(folded(text[0])));
    LineSet lines = m_all;
    for (qsizetype i = 1; i < text.size() && lines.any(); ++i)
        lines &= lookUp(pairKey(folded(text[i - 1]), folded(text[i])));
    return lines;
}

LineIndex::LineSet LineIndex::linesWithAny(const QStringList &alternatives) const
{
    if (alternatives.isEmpty())
        return m_all;
    LineSet lines;
    for (const QString &alternative : alternatives)
        lines |= linesWith(alternative);
    return lines;
}
