#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Whether a clipboard change comes from a password manager, so the capture can keep
// passwords out of the history. Pure checks over constant tables and the bundled lists
// "password_manager_apps" and "password_vault_urls" (CaptureLists); any thread, the main
// thread once CaptureLists::loaded() has ended.
namespace ContentExclusion {

// The type that macOS password managers put beside a password; honoured here too.
inline const QString concealedPasteboardType = QStringLiteral("org.nspasteboard.ConcealedType");

bool typesContain(const QStringList &types, const QString &type);

// KDE's password-manager hint value "secret" in any letter case, NULs and white space
// around it ignored.
bool isSecretHint(QByteArrayView value);

// Marked secret by its owner: the concealed type, or KDE's password-manager hint with the
// value "secret" (what KeePassXC and KDE applications set). A hint that is offered but
// whose value is missing (the owner refused it or answered too late) counts as secret.
bool isConcealed(const QStringList &types, const std::optional<QByteArray> &passwordManagerHint);

// The first rule that holds decides: marked secret; copied in a password manager (its
// application id starts with one of the known macOS bundle prefixes, or matches the Linux
// list, ignoring case); or the page it came from is a password manager's browser extension
// or web vault. sourceURL is the page address the clipboard carries.
bool isPasswordManagerSource(const QStringList &types, const std::optional<QByteArray> &passwordManagerHint,
    const std::optional<QString> &bundleIdentifier, const std::optional<QString> &sourceURL);

bool isPasswordManagerApplication(const QString &bundleIdentifier);

// The address of the front browser tab. No browser on this desktop answers such a query,
// so there is never one: the page a copy came from is known only from the clipboard.
std::optional<QString> frontBrowserURL(const std::optional<QString> &bundleIdentifier);

} // namespace ContentExclusion
