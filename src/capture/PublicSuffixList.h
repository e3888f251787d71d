#pragma once

#include <QSet>
#include <QString>
#include <QStringView>

// The ICANN section of the public-suffix list (Debian's publicsuffix package): which
// top-level domains exist and under which suffixes a name can be registered. The link
// detector asks it whether a text like "example.co.uk" names a real web host.
class PublicSuffixList final
{
public:
    // The list from the resource folder, else the system's copy; read once, on first use,
    // from whichever thread asks first. Empty (with a diagnostic line) when neither reads.
    static const PublicSuffixList &shared();

    // Rules from the list's text; the private (non-ICANN) section is left out, so a
    // service's own suffix such as "github.io" stays an ordinary registrable name.
    static PublicSuffixList parse(QStringView text);

    bool isEmpty() const { return m_rules.isEmpty() && m_wildcards.isEmpty(); }

    // Whether the host's last label is a top-level domain of the list. The host may be
    // in any case and in Unicode or ACE ("xn--") form.
    bool hasKnownTopLevelDomain(QStringView host) const;
    // Whether the host has a label in front of its public suffix ("example.co.uk" has,
    // "co.uk" has not).
    bool hasRegistrableDomain(QStringView host) const;
    // The number of labels of the host's public suffix, by the prevailing rule (one when
    // no rule matches).
    qsizetype publicSuffixLabelCount(QStringView host) const;

private:
    QSet<QString> m_rules; // "co.uk"
    QSet<QString> m_wildcards; // "ck" for "*.ck"
    QSet<QString> m_exceptions; // "www.ck" for "!www.ck"
};
