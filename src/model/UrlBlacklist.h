#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Whether a copied link is on the user's URL blacklist (a link as the user wrote it: a copied
// text holds links among other words too).
//
// An entry that names a site ("example.org", "example.org:8080/private") matches a link whose
// host is that host or lies below it ("www.example.org"), never one that merely contains the
// name ("notexample.org", "example.org.other.net"); with a path, only that path and what lies
// under it match ("example.org/private" takes "/private/x" and "/private?y", not
// "/privateer"). Letter case, an "http://" or "https://" in front and slashes at the end of an
// entry make no difference. An entry that names no host (a word such as "bank", written into
// the settings by hand) is looked for anywhere in the link, in any letter case, as it always
// was; so is every entry when the text is no link with a host.
namespace UrlBlacklist {

bool isExcluded(const QString &url, const QStringList &entries);

// The same question for many links: the entries are read once.
class Matcher final
{
public:
    explicit Matcher(const QStringList &entries);
    ~Matcher();
    Matcher(const Matcher &) = delete;
    Matcher &operator=(const Matcher &) = delete;

    bool isEmpty() const;
    bool isExcluded(const QString &url) const;

private:
    struct Entry;
    std::vector<Entry> m_entries;
};

} // namespace UrlBlacklist
