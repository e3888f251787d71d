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

// Addresses and what a browser makes of them.
const struct
{
    const char *text;
    const char *scheme;
    Parsed parsed;
} addressesAsRead[] = {
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
    { "http://[2001:db8:0:0:0:0:0:1]/", "http", { "[2001:db8::1]", -1, "/", nullptr } },
    // Names mapped as browsers map them: full-width letters, digits and full stops, capitals,
    // a soft hyphen left out; "ß" kept; a name in a right-to-left script.
    { "https://\uFF50\uFF41\uFF59\uFF50\uFF41\uFF4C\uFF0E\uFF43\uFF4F\uFF4D/x", "https",
        { "paypal.com", -1, "/x", nullptr } },
    { "https://\uFF25\uFF38\uFF21\uFF2D\uFF30\uFF2C\uFF25\uFF61Org/", "https",
        { "example.org", -1, "/", nullptr } },
    { "https://pay\u00ADpal.com/x", "https", { "paypal.com", -1, "/x", nullptr } },
    { "https://pay%C2%ADpal.com/x", "https", { "paypal.com", -1, "/x", nullptr } },
    { "https://fa\u00DF.de/", "https", { "xn--fa-hia.de", -1, "/", nullptr } },
    { "https://\u0645\u062B\u0627\u0644.\u0645\u0635\u0631/", "https",
        { "xn--mgbh0fb.xn--wgbh1c", -1, "/", nullptr } },
    // Empty labels and hyphens at the ends of a label are kept, as browsers keep them.
    { "https://b\u00FCcher.de../x", "https", { "xn--bcher-kva.de..", -1, "/x", nullptr } },
    { "https://-b\u00FCcher-.de/", "https", { "xn---bcher--o2a.de", -1, "/", nullptr } },
    // Addresses in numbers: full-width digits, a final dot, an IPv6 address that maps an
    // IPv4 one (where the connection goes), in either of its forms.
    { "http://\uFF11\uFF12\uFF17.\uFF10.\uFF10.\uFF11/x", "http", { "127.0.0.1", -1, "/x", nullptr } },
    { "http://127.0.0.1./x", "http", { "127.0.0.1", -1, "/x", nullptr } },
    { "http://0x7f.1./x", "http", { "127.0.0.1", -1, "/x", nullptr } },
    { "http://[::ffff:127.0.0.1]/x", "http", { "127.0.0.1", -1, "/x", nullptr } },
    { "http://[::FFFF:7f00:1]:8080/x", "http", { "127.0.0.1", 8080, "/x", nullptr } },
    { "http://[0:0:0:0:0:ffff:c0a8:10a]/", "http", { "192.168.1.10", -1, "/", nullptr } },
    { "http://[::1]/", "http", { "[::1]", -1, "/", nullptr } },
    { "http://[::]/", "http", { "[::]", -1, "/", nullptr } },
    // The highest port.
    { "https://example.org:65535/", "https", { "example.org", 65535, "/", nullptr } },
    { "https://example.org:00080/", "https", { "example.org", 80, "/", nullptr } },
};

} // namespace

TEST(BrowserAddressTest, ReadsAnAddressAsABrowserDoes)
{
    for (const auto &c : addressesAsRead) {
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
             "https://[zz::1]/", "mailto:/x", "foo:/bar", "foo://example.org\\x/y",
             // Characters no name may hold, as browsers map names: a small full stop, a full-width
             // solidus or colon (mapped to "/" and ":"), a joiner outside a script that needs it;
             // a label that starts right to left and ends left to right; a label, first or later, of no
             // valid "xn--" form.
             "https://example\uFE52org/x", "https://example.org\uFF0Fx/", "https://example.org\uFF1A80/",
             "https://exa\u200Dmple.org/", "https://\u05D0a.com/", "https://xn--zz.org/",
             "https://www.xn--zz.org/", "https://\u00AD/",
             // An IPv6 address with too few numbers, the port past the highest.
             "https://[::ffff:1.2.3]/", "https://[::1]:65536/", "https://example.org:100000/" }) {
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
