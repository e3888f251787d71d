#include "capture/LinkDetector.h"
#include "capture/CaptureLists.h"
#include "capture/PublicSuffixList.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

TEST(PublicSuffixListTest, FollowsThePrevailingRule)
{
    const PublicSuffixList list = PublicSuffixList::parse(
        QStringLiteral("// ===BEGIN ICANN DOMAINS===\n"
                       "com\nuk\nco.uk\n*.ck\n!www.ck\n// comment\njp\n*.kawasaki.jp\n!city.kawasaki.jp\n"
                       "\u0440\u0444\n" // рф
                       "\u307F\u3093\u306A\n" // みんな
                       "// ===END ICANN DOMAINS===\n"
                       "// ===BEGIN PRIVATE DOMAINS===\n"
                       "github.io\n"
                       "// ===END PRIVATE DOMAINS===\n"));
    const struct
    {
        const char *host;
        qsizetype suffixLabels;
        bool knownTopLevel;
        bool registrable;
    } cases[] = {
        { "example.com", 1, true, true },
        { "com", 1, true, false },
        { "example.co.uk", 2, true, true },
        { "co.uk", 2, true, false },
        { "Shop.Example.CO.UK", 2, true, true },
        { "foo.ck", 2, true, false }, // wildcard
        { "a.foo.ck", 2, true, true },
        { "www.ck", 1, true, true }, // exception
        { "b.kawasaki.jp", 3, true, false },
        { "a.b.kawasaki.jp", 3, true, true },
        { "city.kawasaki.jp", 2, true, true },
        { "user.github.io", 1, false, true }, // private section left out: "io" not listed here
        { "example.invalidtld", 1, false, true },
        { "xn--e1afmkfd.xn--p1ai", 1, true, true }, // ACE form of a Cyrillic name under рф
        { "xn--p8jh5i5d.xn--q9jyb4c", 1, true, true }, // おはよう.みんな, a top-level domain Qt keeps in ACE
        { "example.com.", 1, true, true },
    };
    for (const auto &test : cases) {
        const QString host = QString::fromUtf8(test.host);
        EXPECT_EQ(list.publicSuffixLabelCount(host), test.suffixLabels) << test.host;
        EXPECT_EQ(list.hasKnownTopLevelDomain(host), test.knownTopLevel) << test.host;
        EXPECT_EQ(list.hasRegistrableDomain(host), test.registrable) << test.host;
    }
}

TEST(PublicSuffixListTest, TheCapturesListIsTheSystemsCopy)
{
    const PublicSuffixList &list = CaptureLists::shared().publicSuffixes;
    ASSERT_FALSE(list.isEmpty());
    EXPECT_TRUE(list.hasRegistrableDomain(u"example.co.uk"));
    EXPECT_FALSE(list.hasRegistrableDomain(u"co.uk"));
    EXPECT_TRUE(list.hasKnownTopLevelDomain(u"example.dev"));
    EXPECT_FALSE(list.hasKnownTopLevelDomain(u"example.notatld"));
    EXPECT_TRUE(list.hasRegistrableDomain(u"user.github.io"))
        << "a hosting service's own suffix is an ordinary name";
}

// The bundled list is read as the other resources are: one that is no regular file of its size
// gives way to the system's copy, as a missing one does, named in one line of the log.
TEST(PublicSuffixListTest, ABundledListThatCannotBeReadGivesWayToTheSystemsCopy)
{
    TemporaryResourceFolder folder;
    const QString path = folder.path() + QStringLiteral("/public_suffix_list.dat");
    const auto standIn = [&](FileStandIn kind, qint64 sparseBytes = 0) {
        return [=] { return replaceWithStandIn(path, kind, sparseBytes); };
    };
    const auto givesWay = [&](const QString &why) {
        return QStringList { QStringLiteral("[PublicSuffixList] Could not read %1 (%2): the system's copy is "
                                            "read instead")
                                 .arg(path, why) };
    };
    const struct
    {
        const char *name;
        std::function<bool()> make;
        bool systemCopy; // else the bundled list, which knows "zz" alone
        QStringList said;
    } rows[] = {
        { "bundled", [&] { return folder.write(QStringLiteral("public_suffix_list.dat"), "zz\n"); }, false,
            {} },
        { "missing", [] { return true; }, true, {} },
        { "a FIFO", standIn(FileStandIn::fifo), true, givesWay(QStringLiteral("it is not a regular file")) },
        { "a link to /dev/zero", standIn(FileStandIn::zeroDeviceLink), true,
            givesWay(QStringLiteral("it is not a regular file")) },
        { "far larger than the list", standIn(FileStandIn::sparseFile, PublicSuffixList::maxFileBytes + 1),
            true, givesWay(QStringLiteral("it is larger than 16 MB")) },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        folder.clear();
        ASSERT_TRUE(row.make());
        CapturedDiagnostics diagnostics;
        const PublicSuffixList list = PublicSuffixList::read();
        EXPECT_EQ(list.hasKnownTopLevelDomain(u"example.dev"), row.systemCopy);
        EXPECT_EQ(list.hasKnownTopLevelDomain(u"example.zz"), !row.systemCopy);
        EXPECT_EQ(diagnostics.lines(), row.said);
    }
}

TEST(LinkDetectorTest, WholeTextLinks)
{
    const struct
    {
        const char *text;
        std::optional<QString> link;
    } cases[] = {
        // Valid http(s) URLs count as written.
        { "https://example.com", "https://example.com" },
        { "http://localhost:8080/api?x=1#f", "http://localhost:8080/api?x=1#f" },
        { "https://Example.COM/Path", "https://Example.COM/Path" },
        { "http://192.168.1.1/admin", "http://192.168.1.1/admin" },
        // Addresses without a scheme get "http://".
        { "example.com", "http://example.com" },
        { "www.example.co.uk/path?q=1", "http://www.example.co.uk/path?q=1" },
        { "example.com:8080/x", "http://example.com:8080/x" },
        { "en.wikipedia.org/wiki/Foo_(bar)", "http://en.wikipedia.org/wiki/Foo_(bar)" },
        { "HTTPS://EXAMPLE.COM/a", "https://EXAMPLE.COM/a" },
        // Not links.
        { "user@example.com", std::nullopt },
        { "mailto:user@example.com", std::nullopt },
        { "ftp://example.com/file", std::nullopt },
        { "javascript:alert(1)", std::nullopt },
        { "file:///etc/passwd", std::nullopt },
        { "see example.com for details", std::nullopt },
        { "example.com.", std::nullopt },
        { "example.com/page,", std::nullopt },
        { "(example.com)", std::nullopt },
        { "en.wikipedia.org/wiki/Foo_(bar", std::nullopt },
        { "co.uk", std::nullopt },
        { "example.notatld", std::nullopt },
        { "192.168.1.1", std::nullopt },
        { "1.5", std::nullopt },
        { "localhost", std::nullopt },
        { "readme", std::nullopt },
        { "-bad-.example.com", std::nullopt },
        { "http://", std::nullopt },
        { "https:example.com", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto &test : cases)
        EXPECT_EQ(LinkDetector::linkForText(QString::fromUtf8(test.text)), test.link) << test.text;
}

TEST(LinkDetectorTest, AnAddressWrittenAsABrowserTakesItIsALinkAsWritten)
{
    const struct
    {
        const char *text;
        std::optional<QString> link;
    } cases[] = {
        { "https://example.com/caf\xC3\xA9?q=\xE2\x82\xAC",
            "https://example.com/caf\xC3\xA9?q=\xE2\x82\xAC" },
        { "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
          "e?q=\xC3\xA4",
            "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
            "e?q=\xC3\xA4" },
        { "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/\xE3\x83\x91\xE3\x82\xB9",
            "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/\xE3\x83\x91\xE3\x82\xB9" },
        { "example.com/a|b^c", "http://example.com/a|b^c" },
        { "b\xC3\xBC"
          "cher.de",
            "http://b\xC3\xBC"
            "cher.de" },
        { "https://example\xE3\x80\x82org/x", "https://example\xE3\x80\x82org/x" },
        { "example\xEF\xBC\x8Eorg/x", "http://example\xEF\xBC\x8Eorg/x" },
        { "https://example.org\\private", "https://example.org\\private" },
        { "HTTPS://EXAMPLE.ORG./x", "https://EXAMPLE.ORG./x" },
        // Names a browser maps to ASCII: full-width letters, digits and full stops, a soft hyphen.
        { "https://\uFF50\uFF41\uFF59\uFF50\uFF41\uFF4C\uFF0E\uFF43\uFF4F\uFF4D/x",
            "https://\uFF50\uFF41\uFF59\uFF50\uFF41\uFF4C\uFF0E\uFF43\uFF4F\uFF4D/x" },
        { "\uFF57\uFF57\uFF57\uFF0E\uFF45\uFF58\uFF41\uFF4D\uFF50\uFF4C\uFF45\uFF0E\uFF43\uFF4F\uFF4D",
            "http://"
            "\uFF57\uFF57\uFF57\uFF0E\uFF45\uFF58\uFF41\uFF4D\uFF50\uFF4C\uFF45\uFF0E\uFF43\uFF4F\uFF4D" },
        { "https://pay\u00ADpal.com/x", "https://pay\u00ADpal.com/x" },
        { "http://\uFF11\uFF12\uFF17.\uFF10.\uFF10.\uFF11/x",
            "http://\uFF11\uFF12\uFF17.\uFF10.\uFF10.\uFF11/x" },
        { "https://\u304A\u306F\u3088\u3046\u3002\u307F\u3093\u306A",
            "https://\u304A\u306F\u3088\u3046\u3002\u307F\u3093\u306A" },
        { "https://example.com/a b", std::nullopt },
        // Browsers refuse these names: a small full stop, a full-width solidus inside the name.
        { "https://example\uFE52org/x", std::nullopt }, { "https://example.org\uFF0Fx", std::nullopt },
        { "\uFF11\uFF12\uFF17.\uFF10.\uFF10.\uFF11", std::nullopt },
        // Sentences with ideographic and full-width full stops, some ending in a word that is a
        // top-level domain ("みんな", "我爱你", "中国"): prose, not addresses.
        { "\u304A\u306F\u3088\u3046\u3002\u307F\u3093\u306A", std::nullopt }, // おはよう。みんな
        { "\u751F\u65E5\u5FEB\u4E50\u3002\u6211\u7231\u4F60", std::nullopt }, // 生日快乐。我爱你
        { "\u6B22\u8FCE\u6765\u5230\u4E2D\u56FD\u3002", std::nullopt }, // 欢迎来到中国。
        { "\u6211\u7231\u4E2D\u56FD\uFF0E\u4E2D\u56FD", std::nullopt }, // 我爱中国．中国
        { "\u4ECA\u65E5\u306F\u6674\u308C\u3002\u660E\u65E5\u306F\u96E8\u3002", std::nullopt },
        { "\u4FA1\u683C\u306F\uFF11\uFF0E\uFF15\u500D\u3067\u3059\u3002",
            std::nullopt }, // 価格は１．５倍です。
        { "\uFF56\uFF45\uFF52\uFF0E\uFF12\uFF0E\uFF10", std::nullopt }, // ｖｅｒ．２．０
    };
    for (const auto &test : cases)
        EXPECT_EQ(LinkDetector::linkForText(QString::fromUtf8(test.text)), test.link) << test.text;
}

TEST(LinkDetectorTest, TheEncodedFormIsAValidLinkOfTheSamePlace)
{
    const struct
    {
        const char *link;
        std::optional<QString> encoded;
    } cases[] = {
        { "https://example.com/a?b=c#d", "https://example.com/a?b=c#d" },
        { "http://example.com", "http://example.com" },
        { "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
          "e?q=\xC3\xA4",
            "https://xn--mnchen-3ya.de/stra%C3%9Fe?q=%C3%A4" },
        { "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/\xE3\x83\x91\xE3\x82\xB9",
            "https://xn--wgv71a.jp/%E3%83%91%E3%82%B9" },
        { "https://example.com/caf\xC3\xA9?q=\xE2\x82\xAC", "https://example.com/caf%C3%A9?q=%E2%82%AC" },
        { "http://example.com/a|b^c", "http://example.com/a%7Cb%5Ec" },
        { "https://example.com/50%25/x", "https://example.com/50%25/x" },
        { "https://example\xE3\x80\x82org/x", "https://example.org/x" },
        { "https://\uFF50\uFF41\uFF59\uFF50\uFF41\uFF4C\uFF0E\uFF43\uFF4F\uFF4D/x", "https://paypal.com/x" },
        { "https://pay\u00ADpal.com/x", "https://paypal.com/x" },
        { "http://\uFF11\uFF12\uFF17.\uFF10.\uFF10.\uFF11/x", "http://127.0.0.1/x" },
        { "https://example.org\\private\\notes?a=\\", "https://example.org/private/notes?a=%5C" },
        { "see example.com", std::nullopt },
        { "ftp://example.com", std::nullopt },
    };
    for (const auto &test : cases)
        EXPECT_EQ(LinkDetector::encodedLink(QString::fromUtf8(test.link)), test.encoded) << test.link;
}

namespace {

QStringList strings(const QList<QStringView> &views)
{
    QStringList copies;
    for (QStringView view : views)
        copies.append(view.toString());
    return copies;
}

} // namespace

TEST(LinkDetectorTest, LinksAmongTheWordsOfAText)
{
    const struct
    {
        const char *text;
        QStringList links;
    } cases[] = {
        { "see https://example.com now", { "https://example.com" } },
        { "two: example.com and http://localhost:8080/x.", { "example.com", "http://localhost:8080/x" } },
        { "(https://example.com/a), \"www.example.org\"; <http://example.net/b>",
            { "https://example.com/a", "www.example.org", "http://example.net/b" } },
        { "wiki en.wikipedia.org/wiki/Foo_(bar) and (en.wikipedia.org/wiki/Foo_(bar))",
            { "en.wikipedia.org/wiki/Foo_(bar)", "en.wikipedia.org/wiki/Foo_(bar)" } },
        { "url=https://example.com/x?y=1 glued", { "https://example.com/x?y=1" } },
        { "https://example.com/?next=https://example.org/ keeps its first",
            { "https://example.com/?next=https://example.org/" } },
        { "\tline\nhttps://example.com/\r\nnext", { "https://example.com/" } },
        { "no links: someone@example.com, 1.5, readme.txt, ftp://example.com/f, end.", {} },
        { "\u8A73\u7D30\u306F \uFF45\uFF58\uFF41\uFF4D\uFF50\uFF4C\uFF45\uFF0E\uFF43\uFF4F\uFF4D "
          "\u3092\u53C2\u7167",
            { "\uFF45\uFF58\uFF41\uFF4D\uFF50\uFF4C\uFF45\uFF0E\uFF43\uFF4F\uFF4D" } },
        { "see https://pay\u00ADpal.com/x now", { "https://pay\u00ADpal.com/x" } },
        // Japanese and Chinese prose: sentences end in "\u3002", academic Japanese in "\uFF0E".
        { "\u56F3\u66F8\u9928\u306F\u4F11\u9928\u3057\u307E\u3059\u3002\u304A\u306F\u3088\u3046\u3002"
          "\u307F\u3093\u306A \u751F\u65E5\u5FEB\u4E50\u3002\u6211\u7231\u4F60",
            {} },
        { "\u672C\u7814\u7A76\u3067\u306F\u65B0\u624B\u6CD5\u3092\u63D0\u6848\u3059\u308B\uFF0E"
          "\u5B9F\u9A13\u3067\u6709\u52B9\u6027\u3092\u793A\u3059\uFF0E \u7B2C\uFF13\uFF0E\uFF12\u7BC0",
            {} },
        { "", {} },
        { "   ", {} },
    };
    for (const auto &test : cases) {
        const QString text = QString::fromUtf8(test.text);
        EXPECT_EQ(strings(LinkDetector::linksInText(text)), test.links) << test.text;
    }
}

TEST(LinkDetectorTest, AddressesOfTheWebsSchemesInTheFormsABrowserOpens)
{
    // Hosts of one word count without the two slashes only where they are asked for, and only
    // when the address holds more than the word.
    const QStringList oneWordHosts { QStringLiteral("localhost"), QStringLiteral("intranet") };
    const struct
    {
        const char *text;
        QStringList addresses;
        QStringList askedFor = {};
    } amongWords[] = {
        { "see https:example.org/x now", { "https:example.org/x" } },
        { "(FTP:\\\\files.example.org\\pub). and ws:///example.net/s",
            { "FTP:\\\\files.example.org\\pub", "ws:///example.net/s" } },
        { "<a href=\"wss:/example.org/s\">x</a>", { "wss:/example.org/s" } },
        { "x=https:other.example/?next=https:example.org",
            { "https:other.example/?next=https:example.org" } },
        { "http://localhost:8080/ and http:localhost", { "http://localhost:8080/" } },
        { "news:example.org xhttps:example.org mailto:me@example.org file://example.org/x", {} },
        { "INFO:http:Session expired; https: is a scheme; ratio 3:4; C:\\Users\\x", {} },
        { "if (url.protocol === \"https:\") go();", {} },
        { "{\"scheme\":\"https:\",\"url\":\"https:\\\\example.org\\\\x\",\"n\":1}",
            { "https:\\\\example.org\\\\x" } },
        { "http:/localhost:8781/x, (https:intranet/x) http:/wiki/x", {} },
        { "http:/localhost:8781/x, (https:intranet/x) http:/wiki/x",
            { "http:/localhost:8781/x", "https:intranet/x" }, oneWordHosts },
        { "http:localhost:8781 https:user@INTRANET. http:\\\\intranet\\x https:intranet./x",
            { "http:localhost:8781", "https:user@INTRANET", "http:\\\\intranet\\x", "https:intranet./x" },
            oneWordHosts },
        { "INFO:http:Localhost started; https:intranet is up; http:/localhostx/y", {}, oneWordHosts },
    };
    for (const auto &test : amongWords) {
        const QString text = QString::fromUtf8(test.text);
        const auto askedFor = [&](QStringView host) { return test.askedFor.contains(host); };
        EXPECT_EQ(strings(LinkDetector::webAddressesInText(text, askedFor)), test.addresses) << test.text;
    }
    const struct
    {
        const char *text;
        std::optional<QString> address;
        QStringList askedFor = {};
    } wholeTexts[] = {
        { "\x01 ht\ttps://pay\npal.com/\r\n", "https://paypal.com/" },
        { "Link:\nhttps:/\nexample.org/a\tb", "https:/example.org/ab" },
        { "https://example.org/", std::nullopt },
        { "pay\npal.com", std::nullopt },
        { "https://example.org/ see\nthis", std::nullopt },
        { "http:/local\thost:8781/x", std::nullopt },
        { "http:/local\thost:8781/x", "http:/localhost:8781/x", oneWordHosts },
    };
    for (const auto &test : wholeTexts) {
        const auto askedFor = [&](QStringView host) { return test.askedFor.contains(host); };
        EXPECT_EQ(
            LinkDetector::webAddressAcrossLineBreaks(QString::fromUtf8(test.text), askedFor), test.address)
            << test.text;
    }
}
