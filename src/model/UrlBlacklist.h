#pragma once

#include "common/SubstringSet.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>

// Whether a copied link is on the user's URL blacklist (a link as the user wrote it: a copied
// text holds links among other words too).
//
// An entry that names a site ("example.org", "example.org:8080/private") matches a link whose
// host is that host or lies below it ("www.example.org"), never one that merely contains the
// name ("notexample.org", "example.org.other.net"); with a path, only that path and what lies
// under it match ("example.org/private" takes "/private/x" and "/private?y", not
// "/privateer"). Links and entries are both read for the place a browser opens (see
// BrowserAddress): "https://example。org/x", "https://EXAMPLE.org./public/../private",
// "https://example.org//private", "https:\\example.org\private" and "https://example.org/%70rivate"
// are the places they name. Letter case, an "http://" or "https://" in front and slashes at the
// end of an entry make no difference, and neither do repeated slashes in a path (servers read
// them as one) or escapes of letters, digits and "-._~". An entry of one word ("intranet",
// "localhost:8080", or "bank" written into the settings by hand) names that host as a site does
// ("https://intra%6Eet/x"), and is also looked for anywhere in the link, in any letter case, as
// it always was; so is an entry that names no host, and every entry when the text is no link
// with a host.
namespace UrlBlacklist {

bool isExcluded(const QString &url, const QStringList &entries);

// The entries read once, for any number of links: a link's host is looked up by its own name and
// the names above it, and the words are looked for all at once, so that a question costs the
// same with ten entries or ten thousand. Asked from any thread.
class Matcher final
{
public:
    explicit Matcher(const QStringList &entries);

    bool isEmpty() const { return m_empty; }
    bool isExcluded(QStringView url) const;
    // Whether an entry names this host itself (ASCII, lower case, without a final dot).
    bool namesHost(QStringView host) const;

private:
    // A place in a site: a port (-1 for any) and a path (empty for the whole site).
    struct SitePlace
    {
        int port = -1;
        QString rest;
    };
    bool matchesSite(const QString &host, int port, const QString &rest) const;

    QHash<QString, QList<SitePlace>> m_sitesByHost;
    SubstringSet m_words;
    // The entries that name sites, as written: looked for only in a text that is no link with a
    // host (rare), so read for it at the first such question.
    QStringList m_siteTexts;
    mutable std::once_flag m_siteTextsRead;
    mutable SubstringSet m_siteTextSet;
    bool m_empty = true;
};

} // namespace UrlBlacklist
