#include "capture/LinkDetector.h"
#include "capture/PublicSuffixList.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(PublicSuffixListTest, FollowsThePrevailingRule)
{
    const PublicSuffixList list = PublicSuffixList::parse(
        QStringLiteral("// ===BEGIN ICANN DOMAINS===\n"
                       "com\nuk\nco.uk\n*.ck\n!www.ck\n// comment\njp\n*.kawasaki.jp\n!city.kawasaki.jp\n"
                       "\u0440\u0444\n" // рф
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
        { "example.com.", 1, true, true },
    };
    for (const auto &test : cases) {
        const QString host = QString::fromUtf8(test.host);
        EXPECT_EQ(list.publicSuffixLabelCount(host), test.suffixLabels) << test.host;
        EXPECT_EQ(list.hasKnownTopLevelDomain(host), test.knownTopLevel) << test.host;
        EXPECT_EQ(list.hasRegistrableDomain(host), test.registrable) << test.host;
    }
}

TEST(PublicSuffixListTest, TheSharedListIsTheSystemsCopy)
{
    const PublicSuffixList &list = PublicSuffixList::shared();
    ASSERT_FALSE(list.isEmpty());
    EXPECT_TRUE(list.hasRegistrableDomain(u"example.co.uk"));
    EXPECT_FALSE(list.hasRegistrableDomain(u"co.uk"));
    EXPECT_TRUE(list.hasKnownTopLevelDomain(u"example.dev"));
    EXPECT_FALSE(list.hasKnownTopLevelDomain(u"example.notatld"));
    EXPECT_TRUE(list.hasRegistrableDomain(u"user.github.io"))
        << "a hosting service's own suffix is an ordinary name";
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
        { "https://example.com/a b", std::nullopt },
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
        { "https://example.org\\private\\notes?a=\\", "https://example.org/private/notes?a=%5C" },
        { "see example.com", std::nullopt },
        { "ftp://example.com", std::nullopt },
    };
    for (const auto &test : cases)
        EXPECT_EQ(LinkDetector::encodedLink(QString::fromUtf8(test.link)), test.encoded) << test.link;
}

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
        { "", {} },
        { "   ", {} },
    };
    for (const auto &test : cases) {
        const QString text = QString::fromUtf8(test.text);
        QStringList found;
        for (QStringView link : LinkDetector::linksInText(text))
            found.append(link.toString());
        EXPECT_EQ(found, test.links) << test.text;
    }
}
