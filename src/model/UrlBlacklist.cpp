#include "model/UrlBlacklist.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {

// A site and, optionally, a place in it.
struct Site
{
    QString host; // ASCII-compatible, lower-case, without a final dot
    int port = -1; // -1: any
    QString rest; // path, query and fragment, lower-case; empty for the whole site
};

QString withoutHttpScheme(const QString &text)
{
    for (const QLatin1String scheme : { QLatin1String("https://"), QLatin1String("http://") }) {
        if (text.startsWith(scheme, Qt::CaseInsensitive))
            return text.mid(scheme.size());
    }
    return text;
}

bool isHostName(const QString &host)
{
    // At least two labels: a single word is a search term of the old kind, not a site.
    static const QRegularExpression pattern(QStringLiteral(R"(^[a-z0-9_-]+(\.[a-z0-9_-]+)+$)"));
    return pattern.match(host).hasMatch();
}

int defaultPort(const QString &scheme)
{
    if (scheme == QLatin1String("http"))
        return 80;
    if (scheme == QLatin1String("https"))
        return 443;
    return -1;
}

// The parts of an absolute URL, read the same way for links and entries so that their
// escapes and letter case compare.
std::optional<Site> siteOf(const QUrl &url)
{
    if (!url.isValid())
        return std::nullopt;
    QString host = url.host(QUrl::FullyEncoded).toLower();
    while (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (host.isEmpty())
        return std::nullopt;
    Site site;
    site.host = host;
    site.port = url.port();
    site.rest
        = url.toString(QUrl::FullyEncoded | QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveUserInfo)
              .toLower();
    if (!site.rest.startsWith(QLatin1Char('/')))
        site.rest.prepend(QLatin1Char('/'));
    return site;
}

std::optional<Site> siteOfLink(const QString &link)
{
    const QString absolute = link.contains(QLatin1String("://")) ? link : QStringLiteral("http://") + link;
    const QUrl url(absolute, QUrl::TolerantMode);
    std::optional<Site> site = siteOf(url);
    if (site && site->port < 0)
        site->port = defaultPort(url.scheme().toLower());
    return site;
}

std::optional<Site> siteOfEntry(const QString &entry)
{
    const QString bare = withoutHttpScheme(entry);
    const qsizetype authorityEnd = bare.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    const QString authority = authorityEnd < 0 ? bare : bare.left(authorityEnd);
    if (bare.contains(QLatin1String("://")) || authority.contains(QLatin1Char('@'))
        || bare.contains(QRegularExpression(QStringLiteral(R"(\s)"))))
        return std::nullopt;
    std::optional<Site> site = siteOf(QUrl(QStringLiteral("http://") + bare, QUrl::TolerantMode));
    if (!site || !isHostName(site->host))
        return std::nullopt;
    while (site->rest.endsWith(QLatin1Char('/')))
        site->rest.chop(1);
    return site;
}

bool endsAtBoundary(QStringView prefix, QStringView rest)
{
    static const QString boundaries = QStringLiteral("/?#&;");
    if (rest.size() == prefix.size())
        return true;
    if (!prefix.isEmpty() && (boundaries.contains(prefix.back()) || prefix.back() == QLatin1Char('=')))
        return true;
    return boundaries.contains(rest[prefix.size()]);
}

bool matches(const Site &link, const Site &entry)
{
    const bool hostMatches = link.host == entry.host
        || (link.host.endsWith(entry.host) && link.host[link.host.size() - entry.host.size() - 1] == u'.');
    if (!hostMatches)
        return false;
    if (entry.port >= 0 && entry.port != link.port)
        return false;
    if (entry.rest.isEmpty())
        return true;
    return link.rest.startsWith(entry.rest) && endsAtBoundary(entry.rest, link.rest);
}

} // namespace

namespace UrlBlacklist {

struct Matcher::Entry
{
    QString lowered;
    std::optional<Site> site;
};

Matcher::Matcher(const QStringList &entries)
{
    m_entries.reserve(entries.size());
    for (const QString &entry : entries)
        m_entries.push_back({ entry.toLower(), siteOfEntry(entry) });
}

Matcher::~Matcher() = default;

bool Matcher::isEmpty() const
{
    return m_entries.empty();
}

bool Matcher::isExcluded(const QString &url) const
{
    if (m_entries.empty())
        return false;
    const QString lowered = url.toLower();
    const std::optional<Site> link = siteOfLink(url.trimmed());
    return std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry &entry) {
        if (link && entry.site)
            return matches(*link, *entry.site);
        return lowered.contains(entry.lowered);
    });
}

bool isExcluded(const QString &url, const QStringList &entries)
{
    return Matcher(entries).isExcluded(url);
}

} // namespace UrlBlacklist
