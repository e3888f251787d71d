#include "capture/AdultFilter.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace AdultFilter;

TEST(AdultFilterTest, ExtractsHosts)
{
    const struct
    {
        const char *input;
        std::optional<QString> host;
    } cases[] = {
        { "https://Shop.Example.com/page", "Shop.Example.com" },
        { "shop.example.co.uk/page", "shop.example.co.uk" },
        { "user@host.example.com:8080/path", "host.example.com" },
        { "ftp://a:b@files.example.org:21/x", "files.example.org" },
        { "http://[::1]:8080/", "::1" },
        { "example.com", "example.com" },
        { "", std::nullopt },
        { "/just/a/path", std::nullopt },
        { "https://", std::nullopt },
    };
    for (const auto &test : cases)
        EXPECT_EQ(extractHost(QString::fromUtf8(test.input)), test.host) << test.input;
}

TEST(AdultFilterTest, RegistrableDomains)
{
    const struct
    {
        const char *host;
        const char *domain;
    } cases[] = {
        { "shop.example.co.uk", "example.co.uk" },
        { "a.b.example.com", "example.com" },
        { "example.com", "example.com" },
        { "example.com.", "example.com" },
        { "localhost", "localhost" },
        { "co.uk", "co.uk" },
        { "x.y.com.br", "y.com.br" },
        { "a..example.org", "example.org" },
        { "www.example.de", "example.de" },
    };
    for (const auto &test : cases)
        EXPECT_EQ(registrableDomain(QString::fromUtf8(test.host)), QString::fromUtf8(test.domain))
            << test.host;
}

TEST(AdultFilterTest, RecognisesAdultAddresses)
{
    const struct
    {
        const char *url;
        bool adult;
    } cases[] = {
        { "https://PORN.example.com/videos", true }, // keyword, any case
        { "https://nsfwab.example.com/", true }, // keyword inside a longer label
        { "https://www.eporner.com/x", true }, // the one keyword that is a domain
        { "https://beeg.com/", true }, // from the bundled list
        { "https://www.beeg.com/watch", true }, // list entries cover subdomains
        { "https://tube8.com.evil.example/", false }, // not the listed registrable domain
        { "https://example.com/porn", false }, // only the host counts
        { "https://www.wikipedia.org/", false },
        { "", false },
        { "/just/a/path", false },
        { "localhost", false },
    };
    for (const auto &test : cases)
        EXPECT_EQ(isAdultURL(QString::fromUtf8(test.url)), test.adult) << test.url;
}

TEST(AdultFilterTest, DomainListsAcceptCrLfLineEnds)
{
    const struct
    {
        const char *name;
        const char *text;
        QSet<QString> expected;
    } cases[] = {
        { "LF", "# header\nOne.example\n\n  two.example\t\n#three.example\n",
            { "one.example", "two.example" } },
        { "CRLF", "# header\r\nOne.example\r\n\r\n  two.example\t\r\n#three.example\r\n",
            { "one.example", "two.example" } },
        { "no final line end", "a.example\r\nb.example", { "a.example", "b.example" } },
        { "empty", "", {} },
    };
    for (const auto &test : cases)
        EXPECT_EQ(parseDomainList(QString::fromUtf8(test.text)), test.expected) << test.name;
}

TEST(AdultFilterTest, BundledListIsReadAndWellFormed)
{
    const QSet<QString> &domains = adultDomains();
    ASSERT_FALSE(domains.isEmpty());
    for (const QString &domain : domains) {
        EXPECT_EQ(domain, domain.toLower());
        EXPECT_EQ(registrableDomain(domain), domain)
            << "entries are registrable domains: " << domain.toStdString();
    }
}
