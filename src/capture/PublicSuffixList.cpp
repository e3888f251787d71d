#include "capture/PublicSuffixList.h"

#include "common/Diagnostics.h"
#include "platform/Bundle.h"
#include "platform/ResourceFile.h"

#include <QList>
#include <QUrl>

namespace {

const QString systemListPath = QStringLiteral("/usr/share/publicsuffix/public_suffix_list.dat");

// Lower-case Unicode labels, the form the list is written in.
QStringList normalizedLabels(QStringView host)
{
    QString name = host.toString().toLower();
    if (name.endsWith(u'.'))
        name.chop(1);
    // Every label decoded: Qt's own list of top-level domains it shows in Unicode leaves out
    // most of the newer ones ("xn--q9jyb4c", みんな).
    if (name.contains(u"xn--"))
        name = QUrl::fromAce(name.toLatin1(), QUrl::IgnoreIDNWhitelist);
    return name.split(u'.');
}

} // namespace

PublicSuffixList PublicSuffixList::read()
{
    const QString bundled
        = Bundle::pathForResource(QStringLiteral("public_suffix_list"), QStringLiteral("dat"));
    QString error;
    if (!bundled.isEmpty()) {
        if (const std::optional<QByteArray> bytes = ResourceFile::read(bundled, maxFileBytes, &error))
            return parse(QString::fromUtf8(*bytes));
    }
    const QString notBundled = bundled.isEmpty()
        ? QStringLiteral("public_suffix_list.dat (%1)").arg(Bundle::searchedFolders())
        : QStringLiteral("%1 (%2)").arg(bundled, error);
    const std::optional<QByteArray> bytes = ResourceFile::read(systemListPath, maxFileBytes, &error);
    if (!bytes) {
        printDiagnostic(QStringLiteral("[PublicSuffixList] Could not read %1 nor %2 (%3): links without a "
                                       "scheme are not recognised")
                            .arg(notBundled, systemListPath, error));
        return {};
    }
    // A list that is missing from the bundle is the system's to give, unremarked.
    if (!bundled.isEmpty())
        printDiagnostic(
            QStringLiteral("[PublicSuffixList] Could not read %1: the system's copy is read instead")
                .arg(notBundled));
    return parse(QString::fromUtf8(*bytes));
}

PublicSuffixList PublicSuffixList::parse(QStringView text)
{
    PublicSuffixList list;
    bool inPrivateSection = false;
    for (QStringView line : text.tokenize(u'\n', Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (line.startsWith(u"//")) {
            if (line.contains(u"===BEGIN PRIVATE DOMAINS==="))
                inPrivateSection = true;
            else if (line.contains(u"===END PRIVATE DOMAINS==="))
                inPrivateSection = false;
            continue;
        }
        if (line.isEmpty() || inPrivateSection)
            continue;
        // A rule ends at the first white space.
        const qsizetype space = line.indexOf(u' ');
        const QString rule = (space >= 0 ? line.first(space) : line).toString().toLower();
        if (rule.startsWith(u'!'))
            list.m_exceptions.insert(rule.sliced(1));
        else if (rule.startsWith(u"*."))
            list.m_wildcards.insert(rule.sliced(2));
        else
            list.m_rules.insert(rule);
    }
    return list;
}

qsizetype PublicSuffixList::publicSuffixLabelCount(QStringView host) const
{
    const QStringList labels = normalizedLabels(host);
    const qsizetype n = labels.size();
    qsizetype longest = 1;
    for (qsizetype i = 0; i < n; ++i) {
        const QString suffix = QStringList(labels.mid(i)).join(u'.');
        if (m_exceptions.contains(suffix))
            return n - i - 1; // an exception rule prevails over every other
        if (m_rules.contains(suffix))
            longest = std::max(longest, n - i);
        if (i + 1 < n && m_wildcards.contains(QStringList(labels.mid(i + 1)).join(u'.')))
            longest = std::max(longest, n - i);
    }
    return longest;
}

bool PublicSuffixList::hasKnownTopLevelDomain(QStringView host) const
{
    const QStringList labels = normalizedLabels(host);
    const QString &topLevel = labels.back();
    return !topLevel.isEmpty() && (m_rules.contains(topLevel) || m_wildcards.contains(topLevel));
}

bool PublicSuffixList::hasRegistrableDomain(QStringView host) const
{
    return normalizedLabels(host).size() > publicSuffixLabelCount(host);
}
