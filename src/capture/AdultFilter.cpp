#include "capture/AdultFilter.h"

#include "capture/CaptureLists.h"
#include "capture/ResourceList.h"
#include "capture/UrlComponents.h"

#include <array>

namespace {

constexpr std::array<QStringView, 10> twoLevelPublicSuffixes = {
    u"co.uk",
    u"com.br",
    u"co.jp",
    u"com.au",
    u"co.in",
    u"org.uk",
    u"com.mx",
    u"co.za",
    u"co.nz",
    u"com.ar",
};

constexpr std::array<QStringView, 30> adultKeywords = {
    u"porn",
    u"xxx",
    u"hentai",
    u"nsfw",
    u"xnxx",
    u"xvideo",
    u"redtube",
    u"youporn",
    u"brazzers",
    u"bangbros",
    u"naughtyamerica",
    u"realitykings",
    u"mofos",
    u"eporner.com",
    u"fapdu",
    u"xhamster",
    u"pornhub",
    u"spankbang",
    u"xvideos",
    u"chaturbate",
    u"livejasmin",
    u"bongacams",
    u"stripchat",
    u"cam4",
    u"camsoda",
    u"myfreecams",
    u"onlyfans",
    u"fansly",
    u"manyvids",
    u"clips4sale",
};

QSet<QString> lowerCased(const QStringList &entries)
{
    QSet<QString> set;
    for (const QString &entry : entries)
        set.insert(entry.toLower());
    return set;
}

} // namespace

namespace AdultFilter {

QSet<QString> parseDomainList(QStringView text)
{
    return lowerCased(ResourceList::parse(text));
}

const QSet<QString> &adultDomains()
{
    return CaptureLists::shared().adultDomains;
}

std::optional<QString> extractHost(QStringView url)
{
    if (const std::optional<UrlComponents> parsed = UrlComponents::parse(url); parsed && parsed->host) {
        QString host = *parsed->host;
        if (host.startsWith(u'[') && host.endsWith(u']'))
            host = host.sliced(1, host.size() - 2);
        if (!host.isEmpty())
            return host;
    }
    QStringView rest = url;
    if (const qsizetype scheme = rest.indexOf(u"://"); scheme >= 0)
        rest = rest.sliced(scheme + 3);
    if (const qsizetype slash = rest.indexOf(u'/'); slash >= 0)
        rest = rest.first(slash);
    if (const qsizetype at = rest.lastIndexOf(u'@'); at >= 0)
        rest = rest.sliced(at + 1);
    if (const qsizetype colon = rest.lastIndexOf(u':'); colon >= 0)
        rest = rest.first(colon);
    if (rest.isEmpty())
        return std::nullopt;
    return rest.toString();
}

QString registrableDomain(QStringView host)
{
    QList<QStringView> labels;
    for (QStringView label : host.tokenize(u'.', Qt::SkipEmptyParts))
        labels.append(label);
    if (labels.size() < 2)
        return host.toString();
    const QString lastPair = labels[labels.size() - 2].toString() + u'.' + labels.back();
    const bool twoLevelSuffix
        = std::find(twoLevelPublicSuffixes.begin(), twoLevelPublicSuffixes.end(), QStringView(lastPair))
        != twoLevelPublicSuffixes.end();
    if (labels.size() == 2 || !twoLevelSuffix)
        return lastPair;
    return labels[labels.size() - 3].toString() + u'.' + lastPair;
}

bool isAdultURL(QStringView url)
{
    const std::optional<QString> host = extractHost(url);
    if (!host)
        return false;
    const QString lowerHost = host->toLower();
    if (adultDomains().contains(registrableDomain(lowerHost)))
        return true;
    return std::any_of(adultKeywords.begin(), adultKeywords.end(),
        [&](QStringView keyword) { return lowerHost.contains(keyword); });
}

} // namespace AdultFilter
