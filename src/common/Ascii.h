#pragma once

#include "common/CodeUnits.h"

#include <QByteArrayView>
#include <QChar>
#include <QStringView>

// The character classes of ASCII, as addresses and other text written for machines use them
// (QChar's own classes take in the letters and digits of every script).
namespace Ascii {

constexpr bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

constexpr bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The value of a hexadecimal digit, -1 for any other character.
constexpr int hexValue(QChar c)
{
    if (isDigit(c))
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

constexpr bool isHexDigit(QChar c)
{
    return hexValue(c) >= 0;
}

// A character a URL never escapes: a letter, a digit or one of "-._~" (RFC 3986's unreserved).
constexpr bool isUnreservedInUrl(QChar c)
{
    return isLetter(c) || isDigit(c) || c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

// Whether every code unit of a text (UTF-16, or bytes of UTF-8) lies below 0x80: ASCII text,
// which needs no normalisation, mapping or decoding.
inline bool isAscii(QStringView text)
{
    return CodeUnits::allBelow<0x80>(text.utf16(), text.size());
}

inline bool isAscii(QByteArrayView bytes)
{
    return CodeUnits::allBelow<0x80>(bytes.data(), bytes.size());
}

} // namespace Ascii
