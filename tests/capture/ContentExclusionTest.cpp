#include "capture/ContentExclusion.h"
#include "capture/ColorSources.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace ContentExclusion;

namespace {
const QString hint = QStringLiteral("x-kde-passwordManagerHint");
}

TEST(ContentExclusionTest, PasswordManagerSources)
{
    const struct
    {
        const char *name;
        QStringList types;
        std::optional<QByteArray> hintValue;
        std::optional<QString> bundle;
        std::optional<QString> sourceURL;
        bool expected;
    } cases[] = {
        { "plain text", { "text/plain" }, {}, QStringLiteral("org.kde.kate"), {}, false },
        { "concealed type, any app", { "text/plain", concealedPasteboardType }, {},
            QStringLiteral("org.kde.kate"), {}, true },
        { "KDE hint secret", { "text/plain", hint }, QByteArray("secret"), {}, {}, true },
        { "KDE hint other value", { "text/plain", hint }, QByteArray("accepted"), {}, {}, false },
        { "KDE hint offered but not read", { "text/plain", hint }, {}, {}, {}, true },
        { "KDE hint empty", { "text/plain", hint }, QByteArray(""), {}, {}, false },
        { "KDE hint with a NUL", { "text/plain", hint }, QByteArray("secret\0", 7), {}, {}, true },
        { "KDE hint with NULs and a line end", { "text/plain", hint }, QByteArray("\0secret\0\n", 9), {}, {},
            true },
        { "KDE hint capitalised", { "text/plain", hint }, QByteArray("Secret"), {}, {}, true },
        { "KDE hint in capitals with spaces", { "text/plain", hint }, QByteArray(" SECRET \r\n"), {}, {},
            true },
        { "KDE hint longer word", { "text/plain", hint }, QByteArray("secrets"), {}, {}, false },
        { "KDE hint NUL inside", { "text/plain", hint }, QByteArray("sec\0ret", 7), {}, {}, false },
        { "KDE hint value without the type", { "text/plain" }, QByteArray("secret"), {}, {}, false },
        { "macOS prefix", { "text/plain" }, {}, QStringLiteral("com.1password.1password7"), {}, true },
        { "macOS prefix is case-sensitive", { "text/plain" }, {}, QStringLiteral("Com.1password.x"), {},
            false },
        { "KeePassXC desktop id", { "text/plain" }, {}, QStringLiteral("org.keepassxc.KeePassXC"), {}, true },
        { "KeePassXC window class", { "text/plain" }, {}, QStringLiteral("KeePassXC"), {}, true },
        { "Bitwarden", { "text/plain" }, {}, QStringLiteral("Bitwarden"), {}, true },
        { "GNOME Secrets", { "text/plain" }, {}, QStringLiteral("org.gnome.World.Secrets"), {}, true },
        { "Seahorse", { "text/plain" }, {}, QStringLiteral("org.gnome.seahorse.Application"), {}, true },
        { "KWallet", { "text/plain" }, {}, QStringLiteral("org.kde.kwalletmanager5"), {}, true },
        { "exact entry is not a prefix", { "text/plain" }, {}, QStringLiteral("secrets-of-the-sea"), {},
            false },
        { "extension page", { "text/plain" }, {}, {},
            QStringLiteral("chrome-extension://nngceckbapebfimnlniiiahkandclblb/popup.html"), true },
        { "extension without a page", { "text/plain" }, {}, {},
            QStringLiteral("chrome-extension://nngceckbapebfimnlniiiahkandclblb"), false },
        { "unknown extension", { "text/plain" }, {}, {},
            QStringLiteral("chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/x"), false },
        { "vault host in capitals", { "text/plain" }, {}, QStringLiteral("firefox"),
            QStringLiteral("https://Vault.BitWarden.com/#/vault"), true },
        { "browser password list", { "text/plain" }, {}, {},
            QStringLiteral("chrome://password-manager/passwords/example.com"), true },
        { "ordinary page", { "text/plain" }, {}, QStringLiteral("google-chrome"),
            QStringLiteral("https://example.com/"), false },
    };
    for (const auto &test : cases)
        EXPECT_EQ(
            isPasswordManagerSource(test.types, test.hintValue, test.bundle, test.sourceURL), test.expected)
            << test.name;
}

TEST(ContentExclusionTest, ColorSources)
{
    const struct
    {
        const char *id;
        bool expected;
    } applications[] = {
        { "com.figma.Desktop", true },
        { "com.adobe.Photoshop", true },
        { "COM.ADOBE.x", false }, // macOS ids: case kept
        { "gimp-2.10", true },
        { "Gimp-2.10", true },
        { "org.inkscape.Inkscape", true },
        { "org.kde.krita", true },
        { "org.kde.kate", false },
        { "", false },
    };
    for (const auto &test : applications)
        EXPECT_EQ(ColorSources::isColorSourceApplication(QString::fromUtf8(test.id)), test.expected)
            << test.id;

    EXPECT_TRUE(ColorSources::isColorSourceSite(QStringLiteral("https://www.Figma.com/file/abc")));
    EXPECT_TRUE(ColorSources::isColorSourceSite(QStringLiteral("https://photos.google.com/photo/1")));
    EXPECT_FALSE(ColorSources::isColorSourceSite(QStringLiteral("https://www.google.com/search?q=ff8800")));
}
