#include "capture/LinkDetector.h"

#include "capture/CaptureLists.h"
#include "capture/UrlComponents.h"
#include "common/Ascii.h"
#include "common/Idna.h"
#include "model/BrowserAddress.h"

#include <algorithm>

namespace {

bool isWebScheme(QStringView scheme)
{
    return scheme == u"http" || scheme == u"https";
}

std::optional<QString> strictWebURL(QStringView text)
{
    const std::optional<UrlComponents> url = UrlComponents::parse(text);
    if (!url || !isWebScheme(url->scheme) || !url->host || url->host->isEmpty())
        return std::nullopt;
    return text.toString();
}

// Characters that end an address in running text rather than belonging to it.
bool isTrailingPunctuation(QChar c)
{
    switch (c.unicode()) {
    case u'.':
    case u',':
    case u';':
    case u':':
    case u'!':
    case u'?':
    case u'\'':
    case u'"':
        return true;
    default:
        return false;
    }
}

bool hasBalancedBrackets(QStringView text)
{
    int round = 0;
    int square = 0;
    for (QChar c : text) {
        if (c == u'(')
            ++round;
        else if (c == u')' && --round < 0)
            return false;
        else if (c == u'[')
            ++square;
        else if (c == u']' && --square < 0)
            return false;
    }
    return round == 0 && square == 0;
}

// A label of a name in its ASCII form.
bool isHostLabel(QStringView label)
{
    if (label.isEmpty() || label.size() > 63 || label.startsWith(u'-') || label.endsWith(u'-'))
        return false;
    return std::all_of(label.begin(), label.end(),
        [](QChar c) { return Ascii::isLetter(c) || Ascii::isDigit(c) || c == u'-'; });
}

bool isIPv4(QStringView host)
{
    int parts = 0;
    for (QStringView part : host.tokenize(u'.')) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (QChar c : part) {
            if (!Ascii::isDigit(c))
                return false;
        }
        if (part.toInt() > 255)
            return false;
        ++parts;
    }
    return parts == 4;
}

// Sentences of languages written without spaces end in an ideographic full stop, and some words
// of them are top-level domains ("おはよう。みんな", "生日快乐。我爱你"): without a scheme, a name
// with labels set apart by such a stop that ends in a label outside ASCII is prose.
bool readsAsSentences(QStringView written, QStringView ascii)
{
    const qsizetype lastDot = ascii.lastIndexOf(u'.');
    return ascii.sliced(lastDot + 1).startsWith(u"xn--") && written.count(u'.') < ascii.count(u'.');
}

// The host in the ASCII form a browser looks it up by, when it names a web host: a name with a
// top-level domain of the public-suffix list (with a name under its public suffix when the
// address has no scheme), or, with a scheme, an IPv4 address or "localhost". A name is mapped as
// browsers map it, full-width letters, digits and full stops included.
std::optional<QString> webHost(QStringView written, bool hasScheme, const PublicSuffixList &suffixes)
{
    // The top-level domain first, on the name only mapped: most words of a text with a full stop
    // in them name no host, and encoding long labels to "xn--" costs the most.
    const QString mappedName = Idna::mapped(written);
    QStringView name = mappedName;
    if (name.endsWith(u'.') && name.size() > 1)
        name.chop(1);
    const bool address = hasScheme && (isIPv4(name) || name == u"localhost");
    if (!address && !suffixes.hasKnownTopLevelDomain(name))
        return std::nullopt;
    const std::optional<QString> ascii = Idna::toAscii(written);
    if (!ascii || ascii->isEmpty())
        return std::nullopt;
    QStringView host = *ascii;
    // A name may end with the dot of the root ("example.org./x"), which browsers read as the name.
    if (host.endsWith(u'.') && host.size() > 1)
        host.chop(1);
    if (host.size() > 253)
        return std::nullopt;
    if (hasScheme && (isIPv4(host) || host == u"localhost"))
        return ascii;
    qsizetype labelCount = 0;
    QStringView last;
    for (QStringView label : host.tokenize(u'.')) {
        if (!isHostLabel(label))
            return std::nullopt;
        last = label;
        ++labelCount;
    }
    if (labelCount < (hasScheme ? 1 : 2) || std::all_of(last.begin(), last.end(), Ascii::isDigit)
        || !suffixes.hasKnownTopLevelDomain(host))
        return std::nullopt;
    if (!hasScheme && (!suffixes.hasRegistrableDomain(host) || readsAsSentences(written, host)))
        return std::nullopt;
    return ascii;
}

bool isEscapeAt(QStringView text, qsizetype i)
{
    return text[i] == u'%' && i + 2 < text.size() && Ascii::isHexDigit(text[i + 1])
        && Ascii::isHexDigit(text[i + 2]);
}

// The text with every character that a URL part may not hold percent-encoded (as UTF-8);
// complete escapes already in it stay. `allowed` adds to the unreserved characters.
QString percentEncoded(QStringView text, QStringView allowed)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (Ascii::isUnreservedInUrl(c) || allowed.contains(c) || isEscapeAt(text, i)) {
            out += c;
            continue;
        }
        const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        for (const char byte : text.sliced(i, length).toUtf8())
            out += u'%' + QString::number(uchar(byte), 16).toUpper().rightJustified(2, u'0');
        i += length - 1;
    }
    return out;
}

// Path, query and fragment, each encoded for its place; a backslash in the path is a slash, as
// browsers read it.
QString encodedTail(QStringView tail)
{
    static constexpr QStringView pathCharacters = u"!$&'()*+,;=:@/";
    static constexpr QStringView queryCharacters = u"!$&'()*+,;=:@/?";
    const qsizetype hash = tail.indexOf(u'#');
    const QStringView beforeFragment = hash >= 0 ? tail.first(hash) : tail;
    const qsizetype question = beforeFragment.indexOf(u'?');
    QString path = (question >= 0 ? beforeFragment.first(question) : beforeFragment).toString();
    path.replace(u'\\', u'/');
    QString out = percentEncoded(path, pathCharacters);
    if (question >= 0)
        out += u'?' + percentEncoded(beforeFragment.sliced(question + 1), queryCharacters);
    if (hash >= 0)
        out += u'#' + percentEncoded(tail.sliced(hash + 1), queryCharacters);
    return out;
}

// Whether the text could be one address: no spaces, controls or characters that delimit
// addresses in running text, and no punctuation at its end.
bool isAddressShaped(QStringView text)
{
    if (text.isEmpty() || isTrailingPunctuation(text.back()))
        return false;
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control || c == u'<' || c == u'>' || c == u'"'
            || c == u'`';
    });
}

struct WebScheme
{
    QString name = QStringLiteral("http");
    bool written = false; // false when the address has none and is read as "http"
};

// Takes "http://" or "https://" off the front. Nothing for an address of another scheme
// ("mailto:", "javascript:", ...); a digit after the colon is a port, not a scheme.
std::optional<WebScheme> takeWebScheme(QStringView &rest)
{
    qsizetype schemeEnd = 0;
    while (schemeEnd < rest.size()
        && (Ascii::isLetter(rest[schemeEnd])
            || (schemeEnd > 0
                && (Ascii::isDigit(rest[schemeEnd]) || rest[schemeEnd] == u'+' || rest[schemeEnd] == u'-'
                    || rest[schemeEnd] == u'.'))))
        ++schemeEnd;
    if (schemeEnd == 0 || schemeEnd >= rest.size() || rest[schemeEnd] != u':')
        return WebScheme {};
    const QStringView afterColon = rest.sliced(schemeEnd + 1);
    if (afterColon.startsWith(u"//")) {
        const QString name = rest.first(schemeEnd).toString().toLower();
        if (!isWebScheme(name))
            return std::nullopt;
        rest = afterColon.sliced(2);
        return WebScheme { name, true };
    }
    if (afterColon.isEmpty() || !Ascii::isDigit(afterColon.front()))
        return std::nullopt;
    return WebScheme {};
}

// The host and what comes with it end at a slash (or a backslash, which browsers read as one).
qsizetype authorityLength(QStringView rest)
{
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == u'/' || rest[i] == u'\\' || rest[i] == u'?' || rest[i] == u'#')
            return i;
    }
    return rest.size();
}

// Takes "user@" off the authority, encoded; nothing for an e-mail address (an "@" without a
// written scheme, or with nothing before it).
std::optional<QString> takeUserInfo(QStringView &authority, bool hasScheme)
{
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at < 0)
        return QString();
    if (!hasScheme || at == 0)
        return std::nullopt;
    const QStringView userInfo = authority.first(at);
    authority = authority.sliced(at + 1);
    return percentEncoded(userInfo, u"!$&'()*+,;=:") + u'@';
}

// Takes ":port" off the end of the authority; nothing for a port that is no number up to 65535.
std::optional<QString> takePort(QStringView &authority)
{
    const qsizetype colon = authority.lastIndexOf(u':');
    if (colon < 0)
        return QString();
    const QStringView digits = authority.sliced(colon + 1);
    if (digits.isEmpty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), Ascii::isDigit)
        || digits.toInt() > 65535)
        return std::nullopt;
    authority = authority.first(colon);
    return u':' + digits.toString();
}

// An address found in a text: as the text has it (with "http://" in front when it had no
// scheme), and encoded as a valid URL.
struct WebAddress
{
    QString written;
    QString encoded;
};

std::optional<WebAddress> detectedWebAddress(QStringView text, const PublicSuffixList &suffixes)
{
    if (!isAddressShaped(text))
        return std::nullopt;
    QStringView rest = text;
    const std::optional<WebScheme> scheme = takeWebScheme(rest);
    if (!scheme)
        return std::nullopt;
    const QString written = scheme->name + QStringLiteral("://") + rest.toString();
    QStringView host = rest.first(authorityLength(rest));
    const QStringView tail = rest.sliced(host.size());
    if (!hasBalancedBrackets(tail))
        return std::nullopt;
    const std::optional<QString> userInfo = takeUserInfo(host, scheme->written);
    const std::optional<QString> port = userInfo ? takePort(host) : std::nullopt;
    const std::optional<QString> encodedHost = port ? webHost(host, scheme->written, suffixes) : std::nullopt;
    if (!encodedHost)
        return std::nullopt;
    const QString encoded
        = scheme->name + QStringLiteral("://") + *userInfo + *encodedHost + *port + encodedTail(tail);
    // What is encoded must itself be a valid link, whatever the text was.
    if (!strictWebURL(encoded))
        return std::nullopt;
    return WebAddress { written, encoded };
}

// Where "http://" or "https://" first starts in a word; -1 when it does not.
qsizetype webSchemeStart(QStringView word)
{
    const qsizetype plain = word.indexOf(u"http://", 0, Qt::CaseInsensitive);
    const qsizetype secure = word.indexOf(u"https://", 0, Qt::CaseInsensitive);
    if (plain < 0 || secure < 0)
        return std::max(plain, secure);
    return std::min(plain, secure);
}

// The word without what running text puts around an address: opening brackets and quotes in
// front; punctuation, quotes and closing brackets behind (a closing bracket the address
// opened, as in a wiki's "Page_(topic)", stays).
QStringView withoutSurroundings(QStringView word)
{
    while (!word.isEmpty() && QStringView(u"([{<\"'").contains(word.front()))
        word = word.sliced(1);
    while (!word.isEmpty()) {
        const QChar last = word.back();
        const bool closing = last == u')' || last == u']';
        if (isTrailingPunctuation(last) || last == u'>' || last == u'}'
            || (closing && !hasBalancedBrackets(word)))
            word.chop(1);
        else
            break;
    }
    return word;
}

bool holdsFullStop(QStringView word)
{
    return word.contains(u'.') || (!Ascii::isAscii(word) && Idna::mapped(word).contains(u'.'));
}

std::optional<QStringView> linkInWord(QStringView word, const PublicSuffixList &suffixes)
{
    if (const qsizetype scheme = webSchemeStart(word); scheme > 0)
        word = word.sliced(scheme);
    word = withoutSurroundings(word);
    // A word without a full stop of any form is a link only with a scheme ("http://localhost").
    if (!holdsFullStop(word) && !word.contains(u"://"))
        return std::nullopt;
    if (!LinkDetector::linkForText(word, suffixes))
        return std::nullopt;
    return word;
}

bool isSchemeCharacter(QChar c)
{
    return Ascii::isLetter(c) || Ascii::isDigit(c) || c == u'+' || c == u'-' || c == u'.';
}

// The schemes whose addresses lead a browser to a host ("file" names a file).
bool namesAHost(QStringView scheme)
{
    for (const QStringView name : { u"http", u"https", u"ws", u"wss", u"ftp" }) {
        if (scheme.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Where the scheme ending at a colon starts, when it is one that names a host; -1 otherwise. The
// scheme is every scheme character before the colon, as a browser reads it.
qsizetype hostSchemeStart(QStringView text, qsizetype colon)
{
    static constexpr qsizetype longest = 5; // "https"
    qsizetype start = colon;
    while (start > 0 && isSchemeCharacter(text[start - 1])) {
        if (colon - start == longest)
            return -1;
        --start;
    }
    return namesAHost(text.sliced(start, colon - start)) ? start : -1;
}

// Whether an address without the two slashes reads as one although its host is a single word:
// the caller looks for that host, and the colon is followed by more than the word (a slash, a
// port, a user, a path).
bool isOneWordHostAddress(
    QStringView afterColon, QStringView host, const LinkDetector::OneWordHostFilter &lookedFor)
{
    if (!lookedFor)
        return false;
    while (host.endsWith(u'.'))
        host.chop(1);
    const bool moreThanTheWord = std::any_of(
        afterColon.begin(), afterColon.end(), [](QChar c) { return QStringView(u"/\\:@?#").contains(c); });
    return moreThanTheWord && !host.isEmpty() && !host.contains(u'.') && lookedFor(host);
}

// The address from a scheme on to the end of its word: up to white space, or to a quote, an angle
// bracket or a control character that ends it in markup and code, and without the punctuation
// running text puts behind it. Nothing when no host follows the scheme.
std::optional<QStringView> webAddressAt(
    QStringView text, qsizetype start, qsizetype colon, const LinkDetector::OneWordHostFilter &lookedFor)
{
    qsizetype end = colon + 1;
    while (end < text.size() && !text[end].isSpace() && text[end] != u'"' && text[end] != u'<'
        && text[end] != u'>' && text[end] != u'`' && text[end].category() != QChar::Other_Control)
        ++end;
    const QStringView address = withoutSurroundings(text.sliced(start, end - start));
    const std::optional<BrowserAddress> read = BrowserAddress::parse(address);
    if (!read || read->host.isEmpty())
        return std::nullopt;
    // Without its two slashes the scheme is a word of running text as often ("INFO:http:Session
    // expired", "https: is"): there the host must be a site's name or an address, never a single
    // word (also the scheme's own, when the punctuation behind it took its colon).
    // The punctuation taken off its end may have taken the colon with it.
    const qsizetype afterColonAt = colon + 1 - (address.data() - text.data());
    const QStringView afterColon
        = afterColonAt >= 0 && afterColonAt <= address.size() ? address.sliced(afterColonAt) : QStringView();
    if (!afterColon.startsWith(u"//") && !read->host.contains(u'.') && !read->host.startsWith(u'[')
        && !isOneWordHostAddress(afterColon, read->host, lookedFor))
        return std::nullopt;
    return address;
}

} // namespace

namespace LinkDetector {

QList<QStringView> webAddressesInText(QStringView text, const OneWordHostFilter &lookedFor)
{
    QList<QStringView> addresses;
    qsizetype colon = text.indexOf(u':');
    while (colon >= 0) {
        qsizetype next = colon + 1;
        const qsizetype start = hostSchemeStart(text, colon);
        if (const std::optional<QStringView> address
            = start >= 0 ? webAddressAt(text, start, colon, lookedFor) : std::nullopt) {
            addresses.append(*address);
            // The first address of a word counts: one named in its query is no place it opens.
            while (next < text.size() && !text[next].isSpace())
                ++next;
        }
        colon = text.indexOf(u':', next);
    }
    return addresses;
}

std::optional<QString> webAddressAcrossLineBreaks(QStringView text, const OneWordHostFilter &lookedFor)
{
    const auto leftOut = [](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r'; };
    QStringView inner = text;
    while (!inner.isEmpty() && inner.front().unicode() <= 0x20)
        inner = inner.sliced(1);
    while (!inner.isEmpty() && inner.back().unicode() <= 0x20)
        inner.chop(1);
    // Other white space (a sentence's) makes a text no address: it is found before any copy is made.
    if (std::any_of(inner.begin(), inner.end(), [&](QChar c) { return c.isSpace() && !leftOut(c); })
        || (inner.size() == text.size() && std::none_of(inner.begin(), inner.end(), leftOut)))
        return std::nullopt;
    const QString asRead = BrowserAddress::withoutIgnoredCharacters(inner);
    const QList<QStringView> addresses = webAddressesInText(asRead, lookedFor);
    if (addresses.isEmpty())
        return std::nullopt;
    return addresses.first().toString();
}

QList<QStringView> linksInText(QStringView text, const PublicSuffixList &suffixes)
{
    QList<QStringView> links;
    qsizetype start = 0;
    while (start < text.size()) {
        while (start < text.size() && text[start].isSpace())
            ++start;
        qsizetype end = start;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        if (end > start) {
            if (const std::optional<QStringView> link = linkInWord(text.sliced(start, end - start), suffixes))
                links.append(*link);
        }
        start = end;
    }
    return links;
}

QList<QStringView> linksInText(QStringView text)
{
    return linksInText(text, CaptureLists::shared().publicSuffixes);
}

std::optional<QString> linkForText(QStringView text, const PublicSuffixList &suffixes)
{
    if (std::optional<QString> link = strictWebURL(text))
        return link;
    if (const std::optional<WebAddress> address = detectedWebAddress(text, suffixes))
        return address->written;
    return std::nullopt;
}

std::optional<QString> encodedLink(QStringView link)
{
    if (std::optional<QString> valid = strictWebURL(link))
        return valid;
    if (const std::optional<WebAddress> address
        = detectedWebAddress(link, CaptureLists::shared().publicSuffixes))
        return address->encoded;
    return std::nullopt;
}

std::optional<QString> linkForText(QStringView text)
{
    return linkForText(text, CaptureLists::shared().publicSuffixes);
}

} // namespace LinkDetector
