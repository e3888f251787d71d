#include "capture/UrlComponents.h"

#include "common/Ascii.h"
#include "common/StrictText.h"

#include <algorithm>

namespace {

bool isSubDelimiter(QChar c)
{
    switch (c.unicode()) {
    case u'!':
    case u'$':
    case u'&':
    case u'\'':
    case u'(':
    case u')':
    case u'*':
    case u'+':
    case u',':
    case u';':
    case u'=':
        return true;
    default:
        return false;
    }
}

using Reading = UrlComponents::Reading;

// Read strictly: every character is unreserved, a sub-delimiter, one of `extra`, or the start
// of a complete percent escape. Read as written: no white space, control character or "#".
bool isValidPart(QStringView part, QStringView extra, Reading reading = Reading::strict)
{
    if (reading == Reading::asWritten) {
        return std::none_of(part.begin(), part.end(),
            [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control || c == u'#'; });
    }
    for (qsizetype i = 0; i < part.size(); ++i) {
        const QChar c = part[i];
        if (c == u'%') {
            if (i + 2 >= part.size() || !Ascii::isHexDigit(part[i + 1]) || !Ascii::isHexDigit(part[i + 2]))
                return false;
            i += 2;
            continue;
        }
        if (!Ascii::isUnreservedInUrl(c) && !isSubDelimiter(c) && !extra.contains(c))
            return false;
    }
    return true;
}

bool isValidIpLiteral(QStringView literal)
{
    // "[" IPv6 or IPvFuture "]": hex digits, colons and dots, or "v" + hex "." + text.
    if (literal.size() < 3 || literal.front() != u'[' || literal.back() != u']')
        return false;
    const QStringView inner = literal.sliced(1, literal.size() - 2);
    if (inner.startsWith(u'v') || inner.startsWith(u'V'))
        return isValidPart(inner.sliced(1), u":");
    for (QChar c : inner) {
        if (!Ascii::isHexDigit(c) && c != u':' && c != u'.')
            return false;
    }
    return inner.contains(u':');
}

// A scheme is letters, digits, "+", "-" and "." before the first ":", starting with a letter.
QString takeScheme(QStringView &rest)
{
    const qsizetype colon = rest.indexOf(u':');
    if (colon <= 0 || !Ascii::isLetter(rest[0]))
        return {};
    for (QChar c : rest.first(colon)) {
        if (!Ascii::isLetter(c) && !Ascii::isDigit(c) && c != u'+' && c != u'-' && c != u'.')
            return {};
    }
    const QString scheme = rest.first(colon).toString();
    rest = rest.sliced(colon + 1);
    return scheme;
}

// The part after `delimiter` to the end of what is left (the fragment, then the query);
// false when it holds a character it may not.
bool takeTail(QStringView &rest, QChar delimiter, std::optional<QString> &part, Reading reading)
{
    const qsizetype at = rest.indexOf(delimiter);
    if (at < 0)
        return true;
    const QStringView tail = rest.sliced(at + 1);
    if (!isValidPart(tail, u":@/?[]", reading))
        return false;
    part = tail.toString();
    rest = rest.first(at);
    return true;
}

// The host and port of an authority without its user info: an IP literal in brackets or a
// registered name, then digits after ":".
bool parseHostAndPort(QStringView authority, UrlComponents &url, Reading reading)
{
    QStringView host = authority;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0 || !isValidIpLiteral(authority.first(close + 1)))
            return false;
        host = authority.first(close + 1);
        const QStringView after = authority.sliced(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return false;
        if (!after.isEmpty())
            url.port = after.sliced(1).toString();
    } else {
        const qsizetype portColon = authority.lastIndexOf(u':');
        if (portColon >= 0) {
            url.port = authority.sliced(portColon + 1).toString();
            host = authority.first(portColon);
        }
        if (!isValidPart(host, u"", reading))
            return false;
    }
    if (url.port && !std::all_of(url.port->cbegin(), url.port->cend(), Ascii::isDigit))
        return false;
    url.host = host.toString();
    return true;
}

// The authority after "//", up to the path; what is left is the path.
bool takeAuthority(QStringView &rest, UrlComponents &url, Reading reading)
{
    rest = rest.sliced(2);
    const qsizetype slash = rest.indexOf(u'/');
    QStringView authority = slash >= 0 ? rest.first(slash) : rest;
    rest = slash >= 0 ? rest.sliced(slash) : QStringView();
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QStringView userInfo = authority.first(at);
        if (!isValidPart(userInfo, u":", reading))
            return false;
        url.userInfo = userInfo.toString();
        authority = authority.sliced(at + 1);
    }
    return parseHostAndPort(authority, url, reading);
}

} // namespace

std::optional<UrlComponents> UrlComponents::parse(QStringView text, Reading reading)
{
    UrlComponents url;
    QStringView rest = text;
    url.scheme = takeScheme(rest);
    if (!takeTail(rest, u'#', url.fragment, reading) || !takeTail(rest, u'?', url.query, reading))
        return std::nullopt;
    if (rest.startsWith(u"//") && !takeAuthority(rest, url, reading))
        return std::nullopt;
    if (!isValidPart(rest, u":@/", reading))
        return std::nullopt;
    url.path = rest.toString();
    return url;
}

QString UrlComponents::toString() const
{
    QString text;
    if (!scheme.isEmpty())
        text += scheme + u':';
    if (host) {
        text += u"//";
        if (userInfo)
            text += *userInfo + u'@';
        text += *host;
        if (port)
            text += u':' + *port;
    }
    text += path;
    if (query)
        text += u'?' + *query;
    if (fragment)
        text += u'#' + *fragment;
    return text;
}

QList<UrlComponents::QueryItem> UrlComponents::queryItems() const
{
    QList<QueryItem> items;
    if (!query || query->isEmpty())
        return items;
    for (QStringView piece : QStringView(*query).tokenize(u'&')) {
        QueryItem item;
        item.encoded = piece.toString();
        const qsizetype equals = piece.indexOf(u'=');
        const QStringView name = equals >= 0 ? piece.first(equals) : piece;
        item.name = StrictText::removingPercentEncoding(name).value_or(name.toString());
        if (equals >= 0)
            item.value = StrictText::removingPercentEncoding(piece.sliced(equals + 1));
        items.append(item);
    }
    return items;
}
