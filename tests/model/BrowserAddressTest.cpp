#include "model/BrowserAddress.h"

#include <gtest/gtest.h>

namespace {

// What a browser makes of an address, written out as its parts ("-" for no port).
struct Parsed
{
    const char *host;
    int port;
    const char *path;
    const char *query; // nullptr: none
};

} // namespace

TEST(BrowserAddressTest, ReadsAnAddressAsABrowserDoes)
{
    const struct
    {
        const char *text;
        const char *scheme;
        Parsed parsed;
    } cases[] = {
        { "https://example.org/a/b?c=d#e", "https", { "example.org", -1, "/a/b", "c=d" } },
        { "example.org", "http", { "example.org", -1, "/", nullptr } },
        { "localhost:8080/x", "http", { "localhost", 8080, "/x", nullptr } },
        { "HTTPS://User:Pw@EXAMPLE.Org:0443/", "https", { "example.org", 443, "/", nullptr } },
        { "https://example\xE3\x80\x82org/x", "https", { "example.org", -1, "/x", nullptr } },
        { "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
          "e?q=\xC3\xA4",
            "https", { "xn--mnchen-3ya.de", -1, "/stra%C3%9Fe", "q=%C3%A4" } },
        { "https://ex%61mple.org./", "https", { "example.org.", -1, "/", nullptr } },
        { "https:\\\\example.org\\a\\..\\b", "https", { "example.org", -1, "/b", nullptr } },
        { "https:example.org/x", "https", { "example.org", -1, "/x", nullptr } },
        { "example.org:443/x", "http", { "example.org", 443, "/x", nullptr } },
        { "https://example.org//a/./b/../c/.", "https", { "example.org", -1, "//a/c/", nullptr } },
        { "https://example.org/a/%2e%2E/b%2e/%2E", "https", { "example.org", -1, "/b%2e/", nullptr } },
        { "https://example.org/a b\"<>`{}?x y'#z", "https",
            { "example.org", -1, "/a%20b%22%3C%3E%60%7B%7D", "x%20y%27" } },
        { "  https://exa\tmple.org/a\nb \x01", "https", { "example.org", -1, "/ab", nullptr } },
        { "http://0x7F.1/", "http", { "127.0.0.1", -1, "/", nullptr } },
        { "http://3232235786", "http", { "192.168.1.10", -1, "/", nullptr } },
        { "http://[2001:DB8::1]:80/", "http", { "[2001:db8::1]", 80, "/", nullptr } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<BrowserAddress> address = BrowserAddress::parse(QString::fromUtf8(c.text));
        ASSERT_TRUE(address);
        EXPECT_EQ(address->scheme, QLatin1String(c.scheme));
        EXPECT_EQ(address->host, QString::fromUtf8(c.parsed.host));
        EXPECT_EQ(address->port, c.parsed.port);
        EXPECT_EQ(address->path, QString::fromUtf8(c.parsed.path));
        EXPECT_EQ(address->query,
            c.parsed.query ? std::optional<QString>(QString::fromUtf8(c.parsed.query)) : std::nullopt);
    }
}

TEST(BrowserAddressTest, RefusesWhatABrowserRefuses)
{
    for (const char *text : { "https://", "https:///", "https://exa mple.org/", "https://exa%20mple.org/",
             "https://a%2Fb.org/", "https://example.org:65536/", "https://example.org:8o/",
             "http://1.2.3.256/", "http://0x100000000/", "http://1.2.3.4.5/", "https://%FF.org/",
             "https://exampl%G5.org/", "https://example.or%g/", "https://example.org%4/", "https://[::1/",
             "https://[zz::1]/", "mailto:/x", "foo:/bar", "foo://example.org\\x/y" }) {
        EXPECT_FALSE(BrowserAddress::parse(QString::fromUtf8(text))) << text;
    }
}

TEST(BrowserAddressTest, TheEffectivePortIsTheSchemesOwnUnlessOneIsWritten)
{
    const struct
    {
        const char *text;
        int port;
    } cases[] = {
        { "https://example.org/", 443 },
        { "http://example.org/", 80 },
        { "example.org", 80 },
        { "ftp://example.org/", 21 },
        { "wss://example.org/", 443 },
        { "https://example.org:8443/", 8443 },
        { "foo://example.org/", -1 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(BrowserAddress::parse(QString::fromUtf8(c.text))->effectivePort(), c.port) << c.text;
}
