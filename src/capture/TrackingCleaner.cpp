#include "capture/TrackingCleaner.h"

#include "capture/CaptureLists.h"
#include "capture/UrlComponents.h"
#include "common/StrictText.h"

#include <QHash>
#include <QList>
#include <QSet>

namespace {

// Redirect links nest rarely more than once or twice; the bound keeps a hostile link from
// recursing without end.
constexpr int maxRedirectDepth = 8;

struct RedirectRule
{
    QSet<QString> hosts;
    QString path;
    QStringList targetParameters; // the first item named any of these holds the target
};

const QList<RedirectRule> &redirectRules()
{
    static const QList<RedirectRule> rules = {
        { { QStringLiteral("l.facebook.com"), QStringLiteral("lm.facebook.com") }, QStringLiteral("/l.php"),
            { QStringLiteral("u") } },
        { { QStringLiteral("l.instagram.com"), QStringLiteral("lm.instagram.com") }, QStringLiteral("/"),
            { QStringLiteral("u") } },
        { { QStringLiteral("google.com"), QStringLiteral("www.google.com") }, QStringLiteral("/url"),
            { QStringLiteral("q"), QStringLiteral("url") } },
    };
    return rules;
}

const QHash<QString, QSet<QString>> &hostTrackingParameters()
{
    return CaptureLists::shared().trackingParameters;
}

// The host itself or a dot-suffix of it: "t.co" must not reach "microsoft.com".
bool isOnDomain(QStringView host, QStringView domain)
{
    if (!host.endsWith(domain))
        return false;
    return host.size() == domain.size() || host[host.size() - domain.size() - 1] == u'.';
}

bool isAbsoluteWebURL(const QString &text)
{
    const std::optional<UrlComponents> url = UrlComponents::parse(text);
    if (!url || !url->host || url->host->isEmpty())
        return false;
    const QString scheme = url->scheme.toLower();
    return scheme == u"http" || scheme == u"https";
}

std::optional<QString> redirectTarget(const UrlComponents &url, const QString &lowerHost)
{
    const QList<UrlComponents::QueryItem> items = url.queryItems();
    if (items.isEmpty())
        return std::nullopt;
    for (const RedirectRule &rule : redirectRules()) {
        if (!rule.hosts.contains(lowerHost) || url.path != rule.path)
            continue;
        for (const UrlComponents::QueryItem &item : items) {
            if (!rule.targetParameters.contains(item.name))
                continue;
            if (!item.value)
                break;
            // The value was decoded once with the query. A target that was encoded twice
            // still needs its second decoding; one that is already a link must not get
            // it, or the escapes that belong to the target itself would be undone.
            if (isAbsoluteWebURL(*item.value))
                return item.value;
            return StrictText::removingPercentEncoding(*item.value).value_or(*item.value);
        }
    }
    return std::nullopt;
}

QString clean(const QString &link, int depth)
{
    // Read as the user copied it: what stays is kept exactly so, letters outside ASCII too.
    std::optional<UrlComponents> url = UrlComponents::parse(link, UrlComponents::Reading::asWritten);
    if (!url)
        return link;

    bool droppedFragment = false;
    if (url->fragment && url->fragment->isEmpty()) {
        url->fragment.reset();
        droppedFragment = true;
    }

    const QString lowerHost = url->host ? url->host->toLower() : QString();
    if (url->host && depth < maxRedirectDepth) {
        if (const std::optional<QString> target = redirectTarget(*url, lowerHost))
            return clean(*target, depth + 1);
    }

    const QList<UrlComponents::QueryItem> items = url->queryItems();
    QStringList kept;
    for (const UrlComponents::QueryItem &item : items) {
        if (!TrackingCleaner::shouldRemove(item.name, lowerHost))
            kept.append(item.encoded);
    }
    if (kept.size() != items.size()) {
        if (kept.isEmpty())
            url->query.reset();
        else
            url->query = kept.join(QLatin1Char('&'));
        return url->toString();
    }
    return droppedFragment ? url->toString() : link;
}

} // namespace

namespace TrackingCleaner {

QHash<QString, QSet<QString>> parametersByHost(const QStringList &lines)
{
    QHash<QString, QSet<QString>> parsed;
    for (const QString &line : lines) {
        const QStringList words = line.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 2)
            continue;
        QSet<QString> &names = parsed[words.first()];
        for (qsizetype i = 1; i < words.size(); ++i)
            names.insert(words[i]);
    }
    return parsed;
}

QString cleanURL(const QString &link)
{
    return clean(link, 0);
}

bool shouldRemove(QStringView name, QStringView host)
{
    const QString lowerName = name.toString().toLower();
    if (lowerName == u"fbclid" || lowerName == u"gclid" || lowerName.startsWith(u"utm_"))
        return true;
    if (host.isEmpty())
        return false;
    const QHash<QString, QSet<QString>> &table = hostTrackingParameters();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (it.value().contains(lowerName) && isOnDomain(host, it.key()))
            return true;
    }
    return false;
}

} // namespace TrackingCleaner
