#include "model/BrowserAddress.h"

#include "common/Ascii.h"
#include "common/Idna.h"

#include <QHostAddress>
#include <QStringList>

#include <algorithm>

namespace {

// The schemes whose addresses browsers read with a backslash as a slash and with a host.
bool isSpecialScheme(QStringView scheme)
{
    return scheme == u"http" || scheme == u"https" || scheme == u"ws" || scheme == u"wss" || scheme == u"ftp"
        || scheme == u"file";
}

int defaultPort(QStringView scheme)
{
    if (scheme == u"http" || scheme == u"ws")
        return 80;
    if (scheme == u"https" || scheme == u"wss")
        return 443;
    if (scheme == u"ftp")
        return 21;
    return -1;
}

bool isTabOrNewline(QChar c)
{
    return c == u'\t' || c == u'\n' || c == u'\r';
}

// "name:" at the front: the scheme, lower case, and what follows its colon, when it is one of
// the web's ("https:example.org" is an address too) or a slash or backslash follows. Nothing
// otherwise, also for "localhost:8080" and "example.org:443/x".
std::optional<QString> takeScheme(QStringView &rest)
{
    if (rest.isEmpty() || !Ascii::isLetter(rest.front()))
        return std::nullopt;
    qsizetype end = 1;
    while (end < rest.size()
        && (Ascii::isLetter(rest[end]) || Ascii::isDigit(rest[end]) || rest[end] == u'+' || rest[end] == u'-'
            || rest[end] == u'.'))
        ++end;
    if (end >= rest.size() || rest[end] != u':')
        return std::nullopt;
    const QString scheme = rest.first(end).toString().toLower();
    const bool slashFollows = end + 1 < rest.size() && (rest[end + 1] == u'/' || rest[end + 1] == u'\\');
    if (!slashFollows && !isSpecialScheme(scheme))
        return std::nullopt;
    rest = rest.sliced(end + 1);
    return scheme;
}

bool isSlash(QChar c, bool special)
{
    return c == u'/' || (special && c == u'\\');
}

enum class EncodeSet { path, query, fragment };

bool mustEncode(char16_t c, EncodeSet set)
{
    if (c < 0x20 || c >= 0x7F || c == u' ' || c == u'"' || c == u'<' || c == u'>')
        return true;
    switch (set) {
    case EncodeSet::path:
        return c == u'#' || c == u'?' || c == u'`' || c == u'{' || c == u'}';
    case EncodeSet::query:
        return c == u'#' || c == u'\'';
    case EncodeSet::fragment:
        return c == u'`';
    }
    return false;
}

void appendEncoded(QString &out, QStringView text, EncodeSet set)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!mustEncode(c.unicode(), set)) {
            out += c;
            continue;
        }
        const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        static constexpr char hex[] = "0123456789ABCDEF";
        for (const char byte : text.sliced(i, length).toUtf8()) {
            out += u'%';
            out += QLatin1Char(hex[uchar(byte) >> 4]);
            out += QLatin1Char(hex[uchar(byte) & 0xF]);
        }
        i += length - 1;
    }
}

bool isSingleDot(QStringView segment)
{
    return segment == u"." || segment.compare(u"%2e", Qt::CaseInsensitive) == 0;
}

bool isDoubleDot(QStringView segment)
{
    for (const QStringView form : { u"..", u".%2e", u"%2e.", u"%2e%2e" }) {
        if (segment.compare(form, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The path as the browser asks for it: "." and ".." segments resolved against the ones before.
QString resolvedPath(QStringView path, bool special)
{
    QStringList segments;
    qsizetype start = !path.isEmpty() && isSlash(path.front(), special) ? 1 : 0;
    for (;;) {
        qsizetype end = start;
        while (end < path.size() && !isSlash(path[end], special))
            ++end;
        const QStringView segment = path.sliced(start, end - start);
        const bool last = end == path.size();
        if (isDoubleDot(segment)) {
            if (!segments.isEmpty())
                segments.removeLast();
            if (last)
                segments.append(QString());
        } else if (isSingleDot(segment)) {
            if (last)
                segments.append(QString());
        } else {
            QString encoded;
            appendEncoded(encoded, segment, EncodeSet::path);
            segments.append(encoded);
        }
        if (last)
            break;
        start = end + 1;
    }
    return u'/' + segments.join(u'/');
}

QString dottedDecimal(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg((address >> 24) & 0xFF)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

// A number of an IPv4 address as browsers read it: decimal, hexadecimal after "0x", octal after
// a leading zero. Nothing for anything else, and for numbers too large for any address.
std::optional<quint64> ipv4Number(QStringView part)
{
    if (part.isEmpty())
        return std::nullopt;
    int radix = 10;
    if (part.size() >= 2 && part[0] == u'0' && (part[1] == u'x' || part[1] == u'X')) {
        radix = 16;
        part = part.sliced(2);
    } else if (part.size() >= 2 && part[0] == u'0') {
        radix = 8;
        part = part.sliced(1);
    }
    quint64 value = 0;
    for (const QChar c : part) {
        const int digit = Ascii::hexValue(c);
        if (digit < 0 || digit >= radix)
            return std::nullopt;
        value = value * quint64(radix) + quint64(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return value;
}

// Whether a host is read as an IPv4 address: its last label (a final empty one aside) is a
// decimal number, or a hexadecimal one after "0x".
bool endsInANumber(QStringView host)
{
    QList<QStringView> labels = host.split(u'.');
    if (labels.size() > 1 && labels.back().isEmpty())
        labels.removeLast();
    const QStringView last = labels.back();
    if (!last.isEmpty() && std::all_of(last.begin(), last.end(), Ascii::isDigit))
        return true;
    if (last.size() < 2 || last[0] != u'0' || (last[1] != u'x' && last[1] != u'X'))
        return false;
    return std::all_of(last.begin() + 2, last.end(), Ascii::isHexDigit);
}

std::optional<QString> ipv4Address(QStringView host)
{
    QList<QStringView> parts = host.split(u'.');
    if (parts.size() > 1 && parts.back().isEmpty())
        parts.removeLast();
    if (parts.size() > 4)
        return std::nullopt;
    quint64 address = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const std::optional<quint64> number = ipv4Number(parts[i]);
        if (!number)
            return std::nullopt;
        const bool last = i == parts.size() - 1;
        const int bytes = last ? int(5 - parts.size()) : 1;
        if (*number >= (quint64(1) << (8 * bytes)))
            return std::nullopt;
        address += last ? *number : *number << (8 * (3 - i));
    }
    return dottedDecimal(quint32(address));
}

bool isForbiddenInDomain(QChar c)
{
    switch (c.unicode()) {
    case u'#':
    case u'/':
    case u':':
    case u'<':
    case u'>':
    case u'?':
    case u'@':
    case u'[':
    case u'\\':
    case u']':
    case u'^':
    case u'|':
    case u'%':
    case 0x7F:
        return true;
    default:
        return c.unicode() <= 0x20;
    }
}

// An IPv6 address in its shortest form, in brackets; one that maps an IPv4 address
// ("[::ffff:127.0.0.1]", "[::ffff:7f00:1]") is that address, where the connection goes.
std::optional<QString> ipv6Host(QStringView host)
{
    const QStringView inner = host.sliced(1, host.size() - 2);
    const bool valid = !inner.isEmpty() && inner.contains(u':')
        && std::all_of(inner.begin(), inner.end(),
            [](QChar c) { return Ascii::isHexDigit(c) || c == u':' || c == u'.'; });
    QHostAddress address;
    if (!valid || !address.setAddress(inner.toString())
        || address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    const bool mapsIpv4 = std::all_of(bytes.c, bytes.c + 10, [](quint8 byte) { return byte == 0; })
        && bytes[10] == 0xFF && bytes[11] == 0xFF;
    if (mapsIpv4)
        return dottedDecimal(
            quint32(bytes[12]) << 24 | quint32(bytes[13]) << 16 | quint32(bytes[14]) << 8 | bytes[15]);
    return u'[' + address.toString() + u']';
}

// The bytes with each escape of two hexadecimal digits decoded; a "%" without them stays as
// written (Qt's decoder reads any two characters after it, "%G5" as "W", which would make a
// host of what a browser refuses).
QByteArray percentDecoded(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int high = bytes[i] == '%' && i + 2 < bytes.size() ? Ascii::hexValue(QChar(bytes[i + 1])) : -1;
        const int low = high >= 0 ? Ascii::hexValue(QChar(bytes[i + 2])) : -1;
        if (low < 0) {
            out += bytes[i];
            continue;
        }
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}

// The host as browsers read it: escapes decoded, then the name mapped to its ASCII form (capitals,
// full-width letters and digits, the other full stops of Unicode, characters names leave out),
// or an address.
std::optional<QString> hostOf(QStringView written)
{
    if (written.startsWith(u'['))
        return written.endsWith(u']') ? ipv6Host(written) : std::nullopt;
    const QByteArray bytes = percentDecoded(written.toUtf8());
    const QString decoded = QString::fromUtf8(bytes);
    if (decoded.toUtf8() != bytes)
        return std::nullopt;
    const std::optional<QString> host = Idna::toAscii(decoded);
    if (!host || host->isEmpty() || std::any_of(host->begin(), host->end(), isForbiddenInDomain))
        return std::nullopt;
    return endsInANumber(*host) ? ipv4Address(*host) : host;
}

// The port after the host; -1 for none written, nothing for one that is no port.
std::optional<int> portOf(QStringView written)
{
    if (written.isEmpty())
        return -1;
    if (written.size() > 5 || !std::all_of(written.begin(), written.end(), Ascii::isDigit))
        return std::nullopt;
    const int port = written.toInt();
    return port <= 65535 ? std::optional<int>(port) : std::nullopt;
}

bool readAuthority(QStringView authority, BrowserAddress &address)
{
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0)
        authority = authority.sliced(at + 1);
    qsizetype colon = -1;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0 || (close + 1 < authority.size() && authority[close + 1] != u':'))
            return false;
        colon = close + 1 < authority.size() ? close + 1 : -1;
    } else {
        colon = authority.indexOf(u':');
    }
    const std::optional<QString> host = hostOf(colon >= 0 ? authority.first(colon) : authority);
    const std::optional<int> port = portOf(colon >= 0 ? authority.sliced(colon + 1) : QStringView());
    if (!host || !port)
        return false;
    address.host = *host;
    address.port = *port;
    return true;
}

} // namespace

QString BrowserAddress::withoutIgnoredCharacters(QStringView text)
{
    while (!text.isEmpty() && text.front().unicode() <= 0x20)
        text = text.sliced(1);
    while (!text.isEmpty() && text.back().unicode() <= 0x20)
        text.chop(1);
    if (std::none_of(text.begin(), text.end(), isTabOrNewline))
        return text.toString();
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (!isTabOrNewline(c))
            kept += c;
    }
    return kept;
}

int BrowserAddress::effectivePort() const
{
    return port >= 0 ? port : defaultPort(scheme);
}

std::optional<BrowserAddress> BrowserAddress::parse(QStringView text)
{
    const QString cleaned = withoutIgnoredCharacters(text);
    QStringView rest = cleaned;
    BrowserAddress address;
    address.scheme = takeScheme(rest).value_or(QStringLiteral("http"));
    const bool special = isSpecialScheme(address.scheme);
    if (special) {
        while (!rest.isEmpty() && isSlash(rest.front(), true))
            rest = rest.sliced(1);
    } else if (rest.startsWith(u"//")) {
        rest = rest.sliced(2);
    } else {
        return std::nullopt;
    }
    qsizetype authorityEnd = 0;
    while (authorityEnd < rest.size() && !isSlash(rest[authorityEnd], special) && rest[authorityEnd] != u'?'
        && rest[authorityEnd] != u'#')
        ++authorityEnd;
    if (!readAuthority(rest.first(authorityEnd), address))
        return std::nullopt;
    rest = rest.sliced(authorityEnd);

    if (const qsizetype hash = rest.indexOf(u'#'); hash >= 0) {
        address.fragment = QString();
        appendEncoded(*address.fragment, rest.sliced(hash + 1), EncodeSet::fragment);
        rest = rest.first(hash);
    }
    if (const qsizetype question = rest.indexOf(u'?'); question >= 0) {
        address.query = QString();
        appendEncoded(*address.query, rest.sliced(question + 1), EncodeSet::query);
        rest = rest.first(question);
    }
    address.path = resolvedPath(rest, special);
    return address;
}
