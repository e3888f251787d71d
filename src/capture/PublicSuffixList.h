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
    // Debian's list is a quarter of a megabyte.
    static constexpr qint64 maxFileBytes = 16 * 1024 * 1024;

    // The list from the resource folder, else (none there, or one that is refused) the system's
    // copy, read now on the calling thread; empty when neither reads. A file refused or missing
    // is named in one diagnostic line. The capture's copy is CaptureLists::shared()'s.
    static PublicSuffixList read();

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
