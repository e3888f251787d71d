#include "model/UrlBlacklist.h"

#include "common/Ascii.h"
#include "model/BrowserAddress.h"

#include <algorithm>
#include <optional>

namespace {

// A site and, optionally, a place in it, as they compare.
struct Place
{
    QString host; // ASCII, lower case, without a final dot
    int port = -1; // -1: any
    QString rest; // path, query and fragment as they compare; empty for the whole site
};

// An escaped path, query or fragment as it compares: an escape of a letter, a digit or "-._~"
// is that character (a server reads "%70rivate" as "private"), a run of slashes in a path is one
// (servers read "//private" as "/private"), and letter case makes no difference.
QString comparable(QStringView encoded, bool isPath)
{
    QString out;
    out.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const QChar c = encoded[i];
        if (c == u'%' && i + 2 < encoded.size() && Ascii::isHexDigit(encoded[i + 1])
            && Ascii::isHexDigit(encoded[i + 2])) {
            const QChar decoded(
                char16_t(Ascii::hexValue(encoded[i + 1]) * 16 + Ascii::hexValue(encoded[i + 2])));
            if (Ascii::isUnreservedInUrl(decoded)) {
                out += decoded;
                i += 2;
                continue;
            }
        }
        if (isPath && c == u'/' && out.endsWith(u'/'))
            continue;
        out += c;
    }
    return out.toLower();
}

std::optional<Place> placeOf(QStringView text, bool isLink)
{
    const std::optional<BrowserAddress> address = BrowserAddress::parse(text);
    if (!address)
        return std::nullopt;
    // An entry written with another scheme names no site of the web ("ftp:\\files.example").
    if (!isLink && address->scheme != u"http")
        return std::nullopt;
    Place place;
    place.host = address->host;
    while (place.host.endsWith(u'.'))
        place.host.chop(1);
    if (place.host.isEmpty())
        return std::nullopt;
    // A link goes to its scheme's port when it names none; an entry without one takes any.
    place.port = isLink ? address->effectivePort() : address->port;
    place.rest = comparable(address->path, true);
    if (address->query)
        place.rest += u'?' + comparable(*address->query, false);
    if (address->fragment)
        place.rest += u'#' + comparable(*address->fragment, false);
    return place;
}

// An entry without its "http://" or "https://" (or a browser's looser "https:\\" and "https:").
QStringView withoutHttpScheme(QStringView text)
{
    for (const QStringView scheme : { QStringView(u"https:"), QStringView(u"http:") }) {
        if (!text.startsWith(scheme, Qt::CaseInsensitive))
            continue;
        text = text.sliced(scheme.size());
        while (!text.isEmpty() && (text.front() == u'/' || text.front() == u'\\'))
            text = text.sliced(1);
        return text;
    }
    return text;
}

// A name of one or more labels: a single word is a host too ("intranet", "localhost"), and also
// a search term of the old kind.
bool isHostName(QStringView host)
{
    qsizetype labels = 0;
    for (const QStringView label : host.tokenize(u'.')) {
        const bool valid = !label.isEmpty() && std::all_of(label.begin(), label.end(), [](QChar c) {
            return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
        });
        if (!valid)
            return false;
        ++labels;
    }
    return labels >= 1;
}

std::optional<Place> siteOfEntry(QStringView entry)
{
    const QStringView bare = withoutHttpScheme(entry);
    qsizetype authorityEnd = 0;
    while (authorityEnd < bare.size() && bare[authorityEnd] != u'/' && bare[authorityEnd] != u'\\'
        && bare[authorityEnd] != u'?' && bare[authorityEnd] != u'#')
        ++authorityEnd;
    if (bare.contains(u"://") || bare.first(authorityEnd).contains(u'@')
        || std::any_of(bare.begin(), bare.end(), [](QChar c) { return c.isSpace(); }))
        return std::nullopt;
    std::optional<Place> site = placeOf(bare, false);
    if (!site || !isHostName(site->host))
        return std::nullopt;
    while (site->rest.endsWith(u'/'))
        site->rest.chop(1);
    return site;
}

bool endsAtBoundary(QStringView prefix, QStringView rest)
{
    static constexpr QStringView boundaries = u"/?#&;";
    if (rest.size() == prefix.size())
        return true;
    if (!prefix.isEmpty() && (boundaries.contains(prefix.back()) || prefix.back() == u'='))
        return true;
    return boundaries.contains(rest[prefix.size()]);
}

} // namespace

namespace UrlBlacklist {

Matcher::Matcher(const QStringList &entries)
{
    m_sitesByHost.reserve(entries.size());
    for (const QString &entry : entries) {
        // An empty entry would match every text.
        if (entry.isEmpty())
            continue;
        m_empty = false;
        const std::optional<Place> site = siteOfEntry(entry);
        if (site)
            m_sitesByHost[site->host].append({ site->port, site->rest });
        // An entry of one word is looked for anywhere in a link as well, as it always was.
        if (site && site->host.contains(u'.'))
            m_siteTexts.append(entry);
        else
            m_words.add(entry.toLower());
    }
    m_words.finish();
}

bool Matcher::matchesSite(const QString &host, int port, const QString &rest) const
{
    // The host itself, then each name above it: "a.b.example.org", "b.example.org", ...
    QStringView name = host;
    for (;;) {
        const auto found = m_sitesByHost.constFind(name.toString());
        if (found != m_sitesByHost.cend()) {
            for (const SitePlace &place : *found) {
                if (place.port >= 0 && place.port != port)
                    continue;
                if (place.rest.isEmpty() || (rest.startsWith(place.rest) && endsAtBoundary(place.rest, rest)))
                    return true;
            }
        }
        const qsizetype dot = name.indexOf(u'.');
        if (dot < 0)
            return false;
        name = name.sliced(dot + 1);
    }
}

bool Matcher::namesHost(QStringView host) const
{
    return m_sitesByHost.contains(host.toString());
}

bool Matcher::isExcluded(QStringView url) const
{
    if (m_empty)
        return false;
    const QString lowered = url.toString().toLower();
    if (const std::optional<Place> link = placeOf(url.trimmed(), true))
        return matchesSite(link->host, link->port, link->rest) || m_words.containsAny(lowered);
    if (m_words.containsAny(lowered))
        return true;
    std::call_once(m_siteTextsRead, [this] {
        for (const QString &text : m_siteTexts)
            m_siteTextSet.add(text.toLower());
        m_siteTextSet.finish();
    });
    return m_siteTextSet.containsAny(lowered);
}

bool isExcluded(const QString &url, const QStringList &entries)
{
    return Matcher(entries).isExcluded(url);
}

} // namespace UrlBlacklist
