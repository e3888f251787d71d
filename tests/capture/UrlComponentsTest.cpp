#include "capture/UrlComponents.h"
#include "common/StrictText.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(UrlComponentsTest, SplitsIntoPartsAndWritesBackTheSameText)
{
    const struct
    {
        QString text;
        QString scheme;
        std::optional<QString> host;
        std::optional<QString> port;
        QString path;
        std::optional<QString> query;
        std::optional<QString> fragment;
    } cases[] = {
        { "https://example.com", "https", "example.com", {}, "", {}, {} },
        { "HTTP://User:pw@Example.COM:8080/a%20b?x=1&y#frag", "HTTP", "Example.COM", "8080", "/a%20b",
            "x=1&y", "frag" },
        { "http://[::1]:3000/", "http", "[::1]", "3000", "/", {}, {} },
        { "https://example.com/?", "https", "example.com", {}, "/", "", {} },
        { "https://example.com/#", "https", "example.com", {}, "/", {}, "" },
        { "https://example.com/p?q=a?b/c#x?y", "https", "example.com", {}, "/p", "q=a?b/c", "x?y" },
        { "example.com/path", "", {}, {}, "example.com/path", {}, {} },
        { "mailto:someone@example.com", "mailto", {}, {}, "someone@example.com", {}, {} },
        { "https://example.com/a?list[]=1", "https", "example.com", {}, "/a", "list[]=1", {} },
    };
    for (const auto &test : cases) {
        const std::optional<UrlComponents> url = UrlComponents::parse(test.text);
        ASSERT_TRUE(url) << test.text.toStdString();
        EXPECT_EQ(url->scheme, test.scheme) << test.text.toStdString();
        EXPECT_EQ(url->host, test.host) << test.text.toStdString();
        EXPECT_EQ(url->port, test.port) << test.text.toStdString();
        EXPECT_EQ(url->path, test.path) << test.text.toStdString();
        EXPECT_EQ(url->query, test.query) << test.text.toStdString();
        EXPECT_EQ(url->fragment, test.fragment) << test.text.toStdString();
        EXPECT_EQ(url->toString(), test.text);
    }
}

TEST(UrlComponentsTest, RefusesWhatNoURLMayContain)
{
    for (const char *text : { "https://exa mple.com", "https://example.com/ä", "https://example.com/%zz",
             "https://example.com/%4", "https://example.com:80a/", "https://example.com/a#b#c",
             "https://[::1/", "https://example.com/<script>", "http://ex\"ample.com",
             "https://example.com/a|b", "https://example.com/{x}" }) {
        EXPECT_FALSE(UrlComponents::parse(QString::fromUtf8(text))) << text;
    }
}

TEST(UrlComponentsTest, QueryItemsAreDecodedAndKeepTheirWrittenForm)
{
    const std::optional<UrlComponents> url = UrlComponents::parse(
        QStringLiteral("https://example.com/?a=1&&b&c=x%2By+z&%C3%A9=%E2%82%AC&bad=%FF"));
    ASSERT_TRUE(url);
    const QList<UrlComponents::QueryItem> items = url->queryItems();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0].name, "a");
    EXPECT_EQ(items[0].value, "1");
    EXPECT_EQ(items[1].name, "");
    EXPECT_EQ(items[1].value, std::nullopt);
    EXPECT_EQ(items[2].name, "b");
    EXPECT_EQ(items[2].value, std::nullopt);
    EXPECT_EQ(items[3].value, "x+y+z") << "'+' is not a space here";
    EXPECT_EQ(items[3].encoded, "c=x%2By+z");
    EXPECT_EQ(items[4].name, QString::fromUtf8("é"));
    EXPECT_EQ(items[4].value, QString::fromUtf8("€"));
    EXPECT_EQ(items[5].value, std::nullopt) << "not UTF-8";

    EXPECT_TRUE(UrlComponents::parse(QStringLiteral("https://example.com/?"))->queryItems().isEmpty());
    EXPECT_TRUE(UrlComponents::parse(QStringLiteral("https://example.com/"))->queryItems().isEmpty());
}

TEST(UrlComponentsTest, PercentDecoding)
{
    EXPECT_EQ(StrictText::removingPercentEncoding(u"a%20b%2Fc"), "a b/c");
    EXPECT_EQ(StrictText::removingPercentEncoding(u"https%3A%2F%2Fexample.com%2F%3Fq%3D%2520"),
        "https://example.com/?q=%20");
    EXPECT_EQ(StrictText::removingPercentEncoding(u"plain"), "plain");
    EXPECT_EQ(StrictText::removingPercentEncoding(u"broken%2"), std::nullopt);
    EXPECT_EQ(StrictText::removingPercentEncoding(u"broken%g0"), std::nullopt);
    EXPECT_EQ(StrictText::removingPercentEncoding(u"%C3%28"), std::nullopt);
}
