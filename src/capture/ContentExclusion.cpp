#include "capture/ContentExclusion.h"

#include "capture/CaptureLists.h"

#include <QSet>

#include <array>

namespace {

constexpr std::array<QStringView, 38> passwordManagerBundlePrefixes = {
    u"com.apple.Passwords",
    u"com.apple.keychainaccess",
    u"com.1password",
    u"com.agilebits",
    u"com.lastpass",
    u"com.bitwarden",
    u"com.dashlane",
    u"com.keepersecurity",
    u"com.callpod.keeper",
    u"com.nordsec.nordpass",
    u"com.nordpass",
    u"com.roboform",
    u"com.sibersystems",
    u"ch.protonmail.protonpass",
    u"me.proton.pass",
    u"in.sinew.Enpass",
    u"org.keepassx",
    u"org.keepassxc",
    u"com.keepassx",
    u"org.keepass",
    u"com.stickypassword",
    u"com.mcafee.TrueKey",
    u"com.avira.passwordmanager",
    u"com.logmeonce",
    u"com.zoho.ZohoVault",
    u"com.passwordboss",
    u"com.myki",
    u"com.strongbox",
    u"com.outercorner.Secrets",
    u"com.hicknhacksoftware.MacPass",
    u"com.minimalist.Minimalist",
    u"org.passky",
    u"com.rabbit-company.passky",
    u"com.safeincloud",
    u"com.mseven",
    u"design.codeux.authpass",
    u"com.ascendo",
    u"ch.alpeinsoft",
};

const QSet<QString> &passwordManagerExtensionIDs()
{
    static const QSet<QString> ids = {
        QStringLiteral("aeblfdkhhhdcdjpifhhbdiojplfjncoa"),
        QStringLiteral("nngceckbapebfimnlniiiahkandclblb"),
        QStringLiteral("hdokiejnpimakedhajhdlcegeplioahd"),
        QStringLiteral("fdjamakpfbbddfjaooikfcpapjohcfmg"),
        QStringLiteral("bfogiafebfohielmmehodmfbbebbbpei"),
        QStringLiteral("eiaeiblijfjekdanodkjadfinkhbfgcd"),
        QStringLiteral("pnlccmojcmeohlpggmfnbbiapkmbliob"),
        QStringLiteral("ghmbeldphafepmbegfdlkpapadhbakde"),
        QStringLiteral("kmcfomidfpdkfieipokbalgegidffkal"),
        QStringLiteral("oboonakemofpalcgghocfoadofidjkkk"),
        QStringLiteral("igkpcodhieompeloncfnbekccinhapdb"),
        QStringLiteral("bnfdmghkeppfadphbnkjcicejfepnbfe"),
        QStringLiteral("ngncpgfjhnkgfcjamgljadegplonbihi"),
    };
    return ids;
}

// The Linux application ids, lower case; an entry ending in "*" is a prefix.
const QStringList &linuxPasswordManagers()
{
    return CaptureLists::shared().passwordManagerApplications;
}

const QStringList &passwordVaultURLFragments()
{
    return CaptureLists::shared().passwordVaultAddresses;
}

const QString passwordManagerHintType = QStringLiteral("x-kde-passwordManagerHint");

bool isPasswordManagerExtensionPage(const QString &url)
{
    static const QString prefix = QStringLiteral("chrome-extension://");
    if (!url.startsWith(prefix))
        return false;
    const qsizetype slash = url.indexOf(u'/', prefix.size());
    return slash >= 0
        && passwordManagerExtensionIDs().contains(url.sliced(prefix.size(), slash - prefix.size()));
}

} // namespace

namespace ContentExclusion {

bool typesContain(const QStringList &types, const QString &type)
{
    return types.contains(type);
}

bool isSecretHint(QByteArrayView value)
{
    // Owners differ in how they end the value: some add a NUL, some a line end.
    const auto isPadding = [](char c) { return c == '\0' || QChar::isSpace(uchar(c)); };
    while (!value.isEmpty() && isPadding(value.front()))
        value = value.sliced(1);
    while (!value.isEmpty() && isPadding(value.back()))
        value.chop(1);
    return value.compare("secret", Qt::CaseInsensitive) == 0;
}

bool isConcealed(const QStringList &types, const std::optional<QByteArray> &passwordManagerHint)
{
    if (typesContain(types, concealedPasteboardType))
        return true;
    if (!typesContain(types, passwordManagerHintType))
        return false;
    // A hint that is offered but could not be read counts as secret: a password must not
    // reach the history because its owner answered late or not at all.
    return !passwordManagerHint || isSecretHint(*passwordManagerHint);
}

bool isPasswordManagerApplication(const QString &bundleIdentifier)
{
    if (bundleIdentifier.isEmpty())
        return false;
    for (QStringView prefix : passwordManagerBundlePrefixes) {
        if (bundleIdentifier.startsWith(prefix))
            return true;
    }
    const QString lowered = bundleIdentifier.toLower();
    for (const QString &entry : linuxPasswordManagers()) {
        if (entry.endsWith(u'*') ? lowered.startsWith(QStringView(entry).chopped(1)) : lowered == entry)
            return true;
    }
    return false;
}

bool isPasswordManagerSource(const QStringList &types, const std::optional<QByteArray> &passwordManagerHint,
    const std::optional<QString> &bundleIdentifier, const std::optional<QString> &sourceURL)
{
    if (isConcealed(types, passwordManagerHint))
        return true;
    if (bundleIdentifier && isPasswordManagerApplication(*bundleIdentifier))
        return true;
    const std::optional<QString> url = sourceURL ? sourceURL : frontBrowserURL(bundleIdentifier);
    if (!url)
        return false;
    if (isPasswordManagerExtensionPage(*url))
        return true;
    const QString lowered = url->toLower();
    const QStringList &fragments = passwordVaultURLFragments();
    return std::any_of(fragments.begin(), fragments.end(),
        [&](const QString &fragment) { return lowered.contains(fragment); });
}

std::optional<QString> frontBrowserURL(const std::optional<QString> &)
{
    return std::nullopt;
}

} // namespace ContentExclusion
