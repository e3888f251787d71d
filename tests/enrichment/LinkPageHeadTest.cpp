// Reading a page's head: the Open Graph, Twitter card and description tags in both attribute
// orders and both quote styles, the <title> and icon a browser would show, entity decoding and
// picture addresses relative to the page.
#include "enrichment/LinkPageHead.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

namespace {

const QUrl pageURL(QStringLiteral("https://example.com/articles/today.html?ref=1"));

std::optional<QString> text(const char *value)
{
    return value ? std::optional<QString>(QString::fromUtf8(value)) : std::nullopt;
}

std::optional<QUrl> address(const char *value)
{
    return value ? std::optional<QUrl>(QUrl(QString::fromUtf8(value))) : std::nullopt;
}

} // namespace

TEST(LinkPageHeadTest, TitleAndDescriptionFromEitherAttributeOrderAndQuoteStyle)
{
    struct Case
    {
        const char *name;
        const char *html;
        const char *title;
        const char *description;
    };
    const Case cases[] = {
        { "property first",
            R"(<meta property="og:title" content="Hello"><meta property="og:description" content="World">)",
            "Hello", "World" },
        { "content first",
            R"(<meta content="Hello" property="og:title"><meta content="World" property="og:description">)",
            "Hello", "World" },
        { "single quotes", "<meta property='og:title' content='Single'>", "Single", nullptr },
        { "an apostrophe inside double quotes stays", R"(<meta property="og:title" content="Don't panic">)",
            "Don't panic", nullptr },
        { "double quotes inside single quotes stay", R"(<meta property='og:title' content='Say "hi"'>)",
            "Say \"hi\"", nullptr },
        { "the content-first apostrophe too", R"(<meta content="Don't stop" property="og:title">)",
            "Don't stop", nullptr },
        { "upper-case tags", R"(<META PROPERTY="OG:TITLE" CONTENT="Loud">)", "Loud", nullptr },
        { "entities decoded",
            R"(<meta property="og:title" content="Caf&#233; &amp; Bar &ndash; &#x41;&#X42;">)",
            "Caf\u00e9 & Bar \u2013 AB", nullptr },
        { "og:description before the description tag",
            R"(<meta name="description" content="plain"><meta property="og:description" content="open graph">)",
            nullptr, "open graph" },
        { "the description tag, name first", R"(<meta name="description" content="plain &amp; simple">)",
            nullptr, "plain & simple" },
        { "the description tag, content first", R"(<meta content="reversed" name="description">)", nullptr,
            "reversed" },
        { "an empty value is no value", R"(<meta property="og:title" content="">)", nullptr, nullptr },
        { "og:title:alt is another tag", R"(<meta property="og:title:alt" content="no">)", nullptr, nullptr },
        { "nothing", "<html><head></head></html>", nullptr, nullptr },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const LinkPageHead head = LinkPageHead::parse(QString::fromUtf8(c.html), pageURL);
        EXPECT_EQ(head.title, text(c.title));
        EXPECT_EQ(head.description, text(c.description));
    }
}

TEST(LinkPageHeadTest, PictureAddressesResolveAgainstThePage)
{
    struct Case
    {
        const char *name;
        const char *html;
        const char *expected;
    };
    const Case cases[] = {
        { "absolute", R"(<meta property="og:image" content="https://cdn.example.org/a.png">)",
            "https://cdn.example.org/a.png" },
        { "relative to the host, &amp; read as &",
            R"(<meta property="og:image" content="/img/a.png?x=1&amp;y=2">)",
            "https://example.com/img/a.png?x=1&y=2" },
        { "relative to the folder", R"(<meta content="pic.jpg" property="og:image">)",
            "https://example.com/articles/pic.jpg" },
        { "scheme-relative takes the page's scheme",
            R"(<meta property="og:image" content="//cdn.example.org/b.png">)",
            "https://cdn.example.org/b.png" },
        { "twitter:image when there is no og:image", R"(<meta name="twitter:image" content="/t.png">)",
            "https://example.com/t.png" },
        { "twitter:image, content first", R"(<meta content="/t2.png" name="twitter:image">)",
            "https://example.com/t2.png" },
        { "og:image wins over twitter:image",
            R"(<meta name="twitter:image" content="/t.png"><meta property="og:image" content="/o.png">)",
            "https://example.com/o.png" },
        // Taken as written; the service decides what it fetches (web addresses only).
        { "any scheme is kept", R"(<meta property="og:image" content="file:///etc/passwd">)",
            "file:///etc/passwd" },
        { "no picture", R"(<meta property="og:title" content="x">)", nullptr },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString html = QString::fromUtf8(c.html);
        EXPECT_EQ(resolveImageURL(html, pageURL), address(c.expected));
        EXPECT_EQ(LinkPageHead::parse(html, pageURL).imageURL, address(c.expected));
    }
}

TEST(LinkPageHeadTest, DocumentTitleAndIconAreWhatABrowserShows)
{
    struct Case
    {
        const char *name;
        const char *html;
        const char *documentTitle;
        const char *icon;
    };
    const Case cases[] = {
        { "title with folded white space and entities", "<title>\n   Caf&#233;\n   &amp;  Bar </title>",
            "Caf\u00e9 & Bar", nullptr },
        { "title with attributes", R"(<TITLE lang="en">Shout</TITLE>)", "Shout", nullptr },
        { "an empty title is none", "<title>   </title>", nullptr, nullptr },
        { "icon", R"(<link rel="icon" href="/favicon.png">)", nullptr, "https://example.com/favicon.png" },
        { "shortcut icon, unquoted", "<link rel='shortcut icon' href=/f.ico>", nullptr,
            "https://example.com/f.ico" },
        { "a touch icon beats an earlier icon",
            R"(<link rel="icon" href="/small.png"><link href="/touch.png" rel="apple-touch-icon">)", nullptr,
            "https://example.com/touch.png" },
        { "of two plain icons the first",
            R"(<link rel="icon" href="/first.png"><link rel="icon" href="/last.png">)", nullptr,
            "https://example.com/first.png" },
        { "a stylesheet is no icon", R"(<link rel="stylesheet" href="/s.css">)", nullptr, nullptr },
        { "absolute icon", R"(<link rel="icon" href="https://img.example.net/i.png">)", nullptr,
            "https://img.example.net/i.png" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const LinkPageHead head = LinkPageHead::parse(QString::fromUtf8(c.html), pageURL);
        EXPECT_EQ(head.documentTitle, text(c.documentTitle));
        EXPECT_EQ(head.iconURL, address(c.icon));
    }
}

TEST(LinkPageHeadTest, EntitiesDecodeToScalarValuesOnly)
{
    struct Case
    {
        const char *input;
        const char *expected;
    };
    const Case cases[] = {
        { "Caf&#233; &amp; Bar", "Caf\u00e9 & Bar" },
        { "&#x41;&#X41;&#65;", "AAA" },
        { "&#1a;", "&#1a;" }, // hex letters after &# are no decimal number
        { "&#xD800;", "&#xD800;" }, // a surrogate is no character
        { "&#x110000;", "&#x110000;" },
        { "&#99999999999;", "&#99999999999;" }, // too large for 32 bits
        { "&#x1F600;", "\U0001F600" },
        { "&amp;lt;", "<" }, // &amp; goes first
        { "&lt;&gt;&quot;&apos;&nbsp;&ndash;&mdash;&lsquo;&rsquo;&ldquo;&rdquo;&hellip;&trade;&copy;&reg;",
            "<>\"'\u00a0\u2013\u2014\u2018\u2019\u201c\u201d\u2026\u2122\u00a9\u00ae" },
        { "&unknown; & &amp", "&unknown; & &amp" },
        { "no entities", "no entities" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(decodeHTMLEntities(QString::fromUtf8(c.input)), QString::fromUtf8(c.expected));
    }
}

TEST(LinkPageHeadTest, RandomAndTruncatedHeadsNeverCrash)
{
    const QString page
        = QStringLiteral(R"(<html><head><title>T &amp; t</title><meta property="og:title" content="Don't">)"
                         R"(<meta content='d' name="description"><link rel="icon" href="/i.png">)"
                         R"(<meta property="og:image" content="/p.png?a=1&amp;b=2"></head>)");
    for (qsizetype length = 0; length <= page.size(); ++length) {
        const LinkPageHead head = LinkPageHead::parse(page.left(length), pageURL);
        if (head.imageURL) {
            EXPECT_TRUE(head.imageURL->isValid());
        }
    }
    QRandomGenerator random(15);
    const QString alphabet = QStringLiteral("<>\"'=&#;x/ metapropertycontentog:titlelinkrelhref0123456789");
    for (int round = 0; round < 2000; ++round) {
        QString html;
        const int length = random.bounded(200);
        for (int i = 0; i < length; ++i)
            html.append(alphabet[random.bounded(int(alphabet.size()))]);
        const LinkPageHead head = LinkPageHead::parse(html, pageURL);
        if (head.iconURL) {
            EXPECT_TRUE(head.iconURL->isValid());
        }
        decodeHTMLEntities(html);
    }
}
