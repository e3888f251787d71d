#include "common/SearchText.h"

#include <algorithm>

namespace {

bool fitsLatin1(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x100; });
}

} // namespace

SearchText::SearchText(const QString &text)
    : m_isLatin1(fitsLatin1(text))
{
    if (m_isLatin1)
        m_latin1 = text.toLatin1();
    else
        m_text = text;
}

SearchText::Query::Query(const QString &text)
    : m_text(text)
{
    if (fitsLatin1(text))
        m_latin1 = text.toLatin1();
}

bool SearchText::contains(const Query &query) const
{
    if (!m_isLatin1)
        return m_text.contains(query.m_text);
    // A character without a Latin-1 byte is in no such text.
    return query.m_latin1 && QByteArrayView(m_latin1).contains(*query.m_latin1);
}

QString SearchText::toString() const
{
    return m_isLatin1 ? QString::fromLatin1(m_latin1) : m_text;
}
