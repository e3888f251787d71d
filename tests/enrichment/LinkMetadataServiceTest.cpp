// The link service against a real HTTP server on 127.0.0.1: what a page yields, what it is
// never allowed to make the app read, time-outs, and the cache of the last 100 pages.
#include "enrichment/LinkMetadataService.h"
#include "support/LocalHttpServer.h"
#include "support/MemoryMeasurement.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

constexpr qint64 mebibyte = 1024 * 1024;

QColor centreOf(const std::optional<QByteArray> &png)
{
    if (!png)
        return QColor();
    const QImage image = QImage::fromData(*png, "PNG");
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

QByteArray html(const QString &head, const QByteArray &body = QByteArray())
{
    return "<!doctype html><html><head>" + head.toUtf8() + "</head><body>" + body + "</body></html>";
}

class LinkMetadataServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.listen());
        m_service = std::make_unique<LinkMetadataService>(limits());
    }

    virtual LinkMetadataService::Limits limits() const { return {}; }

    template <typename T> T await(QFuture<T> future)
    {
        EXPECT_TRUE(waitUntil([&] { return future.isFinished(); }, std::chrono::seconds(20)));
        return future.isFinished() && future.resultCount() > 0 ? future.result() : T();
    }

    LinkMetadata fetch(const QString &path)
    {
        return await(m_service->fetchLinkMetadata(m_server.url(path)));
    }
    std::optional<LinkMetadata> cached(const QString &path)
    {
        return await(m_service->cachedLinkMetadata(m_server.url(path).toString(QUrl::FullyEncoded)));
    }

    QString address(const QString &path) const { return m_server.url(path).toString(); }

    LocalHttpServer m_server;
    std::unique_ptr<LinkMetadataService> m_service;
};

// Short time-outs, so that a silent server is given up quickly.
class ImpatientLinkMetadataServiceTest : public LinkMetadataServiceTest
{
protected:
    LinkMetadataService::Limits limits() const override
    {
        LinkMetadataService::Limits shortened;
        shortened.pageTimeoutMs = 300;
        shortened.imageTimeoutMs = 300;
        return shortened;
    }
};

} // namespace

namespace {

// The pictures the pages name, served by the test.
const QColor pageRed(220, 20, 30);
const QColor pageBlue(20, 40, 220);

struct PageHead
{
    const char *name;
    QString head;
    std::optional<QString> title;
    std::optional<QString> description;
    QColor picture; // invalid: no picture
};

// Heads written the ways sites write them; `redAddress` is the red picture's full address.
QList<PageHead> pageHeads(const QString &redAddress)
{
    const QColor red = pageRed;
    const QColor blue = pageBlue;
    return {
        { "og tags, property first, relative picture",
            QStringLiteral(
                R"(<meta property="og:title" content="Don't panic"><meta property="og:description" )"
                R"(content="A guide"><meta property="og:image" content="/red.png">)"),
            QStringLiteral("Don't panic"), QStringLiteral("A guide"), red },
        { "og tags, content first, absolute picture",
            QStringLiteral(
                R"(<meta content="Reversed" property="og:title"><meta content="%1" property="og:image">)")
                .arg(redAddress),
            QStringLiteral("Reversed"), std::nullopt, red },
        { "twitter card picture and the description tag",
            QStringLiteral(
                R"(<meta property='og:title' content='Card'><meta name="description" content="plain">)"
                R"(<meta content="/blue.jpg" name="twitter:image">)"),
            QStringLiteral("Card"), QStringLiteral("plain"), blue },
        { "entities decoded",
            QStringLiteral(R"(<meta property="og:title" content="Caf&#233; &amp; Bar">)"
                           R"(<meta property="og:description" content="&ldquo;quoted&rdquo;">)"),
            QStringLiteral("Caf\u00e9 & Bar"), QStringLiteral("\u201cquoted\u201d"), QColor() },
        { "the <title> and the icon stand in",
            QStringLiteral(
                R"(<title>Plain &amp; simple</title><link rel="apple-touch-icon" href="/touch.png">)"),
            QStringLiteral("Plain & simple"), std::nullopt, blue },
        { "og:title beats <title>, og:image beats the icon",
            QStringLiteral(
                R"(<title>Document</title><meta property="og:title" content="Open graph">)"
                R"(<link rel="icon" href="/touch.png"><meta property="og:image" content="/red.png">)"),
            QStringLiteral("Open graph"), std::nullopt, red },
        { "a missing picture falls back to the icon",
            QStringLiteral(
                R"(<meta property="og:title" content="Gone"><meta property="og:image" content="/gone.png">)"
                R"(<link rel="icon" href="/touch.png">)"),
            QStringLiteral("Gone"), std::nullopt, blue },
        { "a missing picture and no icon",
            QStringLiteral(
                R"(<meta property="og:title" content="Gone"><meta property="og:image" content="/gone.png">)"),
            QStringLiteral("Gone"), std::nullopt, QColor() },
    };
}

} // namespace

TEST_F(LinkMetadataServiceTest, PagesGiveTitleDescriptionAndPicture)
{
    m_server.setResponse(
        QStringLiteral("/red.png"), LocalHttpServer::image(encodedColour(QSize(600, 300), pageRed)));
    m_server.setResponse(QStringLiteral("/blue.jpg"),
        LocalHttpServer::image(encodedColour(QSize(64, 64), pageBlue, "jpeg"), "image/jpeg"));
    m_server.setResponse(
        QStringLiteral("/touch.png"), LocalHttpServer::image(encodedColour(QSize(180, 180), pageBlue)));
    const QList<PageHead> cases = pageHeads(address(QStringLiteral("/red.png")));
    int index = 0;
    for (const PageHead &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QStringLiteral("/page%1").arg(++index);
        m_server.setResponse(path, LocalHttpServer::page(html(c.head)));
        const LinkMetadata metadata = fetch(path);
        EXPECT_EQ(metadata.title, c.title);
        EXPECT_EQ(metadata.description, c.description);
        ASSERT_EQ(metadata.thumbnailData.has_value(), c.picture.isValid());
        ASSERT_EQ(metadata.previewData.has_value(), c.picture.isValid());
        if (!c.picture.isValid())
            continue;
        EXPECT_EQ(QImage::fromData(*metadata.thumbnailData, "PNG").size(), QSize(80, 80));
        EXPECT_EQ(QImage::fromData(*metadata.previewData, "PNG").size(), QSize(400, 400));
        for (const QColor found : { centreOf(metadata.thumbnailData), centreOf(metadata.previewData) }) {
            EXPECT_NEAR(found.red(), c.picture.red(), 12);
            EXPECT_NEAR(found.blue(), c.picture.blue(), 12);
        }
    }
}

namespace {

// Whole characters, and none that a view would show as a box or act on (an escape, a bell).
bool isShowableText(const QString &text)
{
    return text.isValidUtf16() && std::none_of(text.begin(), text.end(), [](QChar character) {
        return character.category() == QChar::Other_Control;
    });
}

} // namespace

TEST_F(LinkMetadataServiceTest, ATitleIsKeptAsALineAndADescriptionAsAParagraphWithoutControlCharacters)
{
    const QString thumbsUp = QString::fromUtf8("\U0001F44D\U0001F3FD"); // with a skin tone: 4 units
    const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    const QString accented = QStringLiteral("e\u0301");
    const QString ellipsis = QStringLiteral("\u2026");
    struct Case
    {
        const char *name;
        QString head;
        std::optional<QString> title;
        std::optional<QString> description;
    };
    const Case cases[] = {
        { "an 800 KB title is cut to 300 characters",
            QStringLiteral(R"(<meta property="og:title" content="%1">)").arg(QString(800'000, u'a')),
            QString(299, u'a') + ellipsis, std::nullopt },
        { "an 800 KB document title, in words, too",
            QStringLiteral("<title>%1</title>").arg(QStringLiteral("word ").repeated(160'000)),
            QStringLiteral("word ").repeated(60).left(299) + ellipsis, std::nullopt },
        { "escape sequences, bells, tabs and line breaks",
            QStringLiteral("<meta property=\"og:title\" content=\"Red\x1b[31m\tText\x07\n\n end \">"
                           "<meta property=\"og:description\" content=\"One\r\nTwo&#27;&#9;three&#x7f;\">"),
            QStringLiteral("Red[31m Text end"), QStringLiteral("One Two three") },
        { "a title of exactly 300 characters and a description of exactly 3,000 are kept whole",
            QStringLiteral(R"(<title>%1</title><meta name="description" content="%2">)")
                .arg(QString(300, u'a'), QString(3'000, u'd')),
            QString(300, u'a'), QString(3'000, u'd') },
        { "as are 300 emoji of several units each",
            QStringLiteral("<title>%1</title>").arg(thumbsUp.repeated(300)), thumbsUp.repeated(300),
            std::nullopt },
        { "a description of 10,000 characters keeps 3,000",
            QStringLiteral(R"(<title>t</title><meta name="description" content="%1">)")
                .arg(QString(10'000, u'd')),
            QStringLiteral("t"), QString(2'999, u'd') + ellipsis },
        { "cut between characters, never inside one: combining accents",
            QStringLiteral("<title>%1</title>").arg(QString(298, u'x') + accented.repeated(5)),
            QString(298, u'x') + accented + ellipsis, std::nullopt },
        { "and emoji with a skin tone", QStringLiteral("<title>%1</title>").arg(thumbsUp.repeated(400)),
            thumbsUp.repeated(299) + ellipsis, std::nullopt },
        { "and families of four, many units each",
            QStringLiteral("<title>%1</title>").arg(family.repeated(400)), family.repeated(109) + ellipsis,
            std::nullopt },
        { "a title of control characters alone gives way to the document title",
            QStringLiteral("<title>Document</title><meta property=\"og:title\" content=\"\x1b\x1b \x07\">"),
            QStringLiteral("Document"), std::nullopt },
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QStringLiteral("/long%1").arg(++index);
        m_server.setResponse(path, LocalHttpServer::page(html(c.head)));
        const LinkMetadata metadata = fetch(path);
        EXPECT_EQ(metadata.title, c.title) << metadata.title.value_or(QString()).left(80).toStdString();
        EXPECT_EQ(metadata.description, c.description);
        for (const std::optional<QString> &text : { metadata.title, metadata.description })
            EXPECT_TRUE(!text || isShowableText(*text)) << text->left(80).toStdString();
    }
}

TEST_F(LinkMetadataServiceTest, PagesAreReadInTheEncodingTheyDeclare)
{
    const struct
    {
        const char *name;
        QByteArray contentType;
        QByteArray head;
        std::optional<QString> title;
    } cases[] = {
        { "Latin-1 named by the server", "text/html; charset=iso-8859-1",
            "<title>Na\xEFve r\xE9sum\xE9</title>", QString::fromUtf8("Naïve résumé") },
        { "Latin-1 named by the page", "text/html",
            "<meta charset=\"ISO-8859-1\"><meta property=\"og:title\" content=\"Caf\xE9 cr\xE8me\">",
            QString::fromUtf8("Café crème") },
        { "Windows-1252 named the old way", "text/html",
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
            "<title>\x80 5 \x96 cheap</title>",
            QString::fromUtf8("€ 5 – cheap") },
        { "the server's name wins over the page's", "text/html; charset=utf-8",
            "<meta charset=\"iso-8859-1\"><title>Gr\xC3\xBC\xC3\x9F"
            "e</title>",
            QString::fromUtf8("Grüße") },
        { "UTF-8 that is not UTF-8 gives nothing", "text/html; charset=utf-8", "<title>caf\xE9</title>",
            std::nullopt },
        { "an unknown name gives nothing for bytes that are not UTF-8", "text/html; charset=x-no-such",
            "<title>caf\xE9</title>", std::nullopt },
    };
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QStringLiteral("/encoded%1").arg(++index);
        m_server.setResponse(path,
            LocalHttpServer::Response {
                200, c.contentType, "<html><head>" + c.head + "</head><body></body></html>" });
        EXPECT_EQ(fetch(path).title, c.title);
    }
}

TEST_F(LinkMetadataServiceTest, PicturesAreAskedForAsABrowserWithoutCookies)
{
    LocalHttpServer::Response page = LocalHttpServer::page(html(QStringLiteral(
        R"(<meta property="og:title" content="t"><meta property="og:image" content="/p.png">)")));
    page.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("session=secret; Path=/")));
    m_server.setResponse(QStringLiteral("/"), page);
    m_server.setResponse(
        QStringLiteral("/p.png"), LocalHttpServer::image(encodedColour(QSize(10, 10), Qt::green)));
    ASSERT_TRUE(fetch(QStringLiteral("/")).thumbnailData);
    const QHash<QByteArray, QByteArray> headers = m_server.lastHeaders(QStringLiteral("/p.png"));
    EXPECT_EQ(headers.value("user-agent"), QByteArray(LinkMetadataService::userAgent));
    EXPECT_EQ(QByteArray(LinkMetadataService::userAgent).size(), 88);
    EXPECT_FALSE(headers.contains("cookie")) << "the page's cookie was sent back";
}

TEST_F(LinkMetadataServiceTest, OnlyWebAddressesAreEverRead)
{
    // Pictures that would be read without complaint if they were fetched at all.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString localPicture = folder.filePath(QStringLiteral("local.png"));
    const QByteArray green = encodedColour(QSize(50, 50), Qt::green);
    QFile file(localPicture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(green);
    file.close();
    const QString localURL = QUrl::fromLocalFile(localPicture).toString();
    const QString dataURL = QStringLiteral("data:image/png;base64,") + QString::fromLatin1(green.toBase64());

    m_server.setResponse(QStringLiteral("/to-file.png"), LocalHttpServer::redirect(localURL.toUtf8()));
    m_server.setResponse(QStringLiteral("/to-file"), LocalHttpServer::redirect(localURL.toUtf8()));
    struct Case
    {
        const char *name;
        QString picture;
    };
    const Case cases[] = {
        { "og:image of /etc/passwd", QStringLiteral("file:///etc/passwd") },
        { "og:image of a local picture", localURL },
        { "og:image of a data: address", dataURL },
        { "a picture that redirects to a local file", QStringLiteral("/to-file.png") },
        { "an ftp picture", QStringLiteral("ftp://127.0.0.1/p.png") },
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QStringLiteral("/scheme%1").arg(++index);
        m_server.setResponse(path,
            LocalHttpServer::page(html(QStringLiteral(R"(<meta property="og:title" content="Kept">)"
                                                      R"(<meta property="og:image" content="%1">)")
                                           .arg(c.picture))));
        const LinkMetadata metadata = fetch(path);
        EXPECT_EQ(metadata.title, QStringLiteral("Kept"));
        EXPECT_FALSE(metadata.thumbnailData);
        EXPECT_FALSE(metadata.previewData);
    }
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/to-file.png")), 1);

    // Pages themselves: other schemes are not fetched at all; a page redirected to a file is
    // nothing.
    EXPECT_TRUE(fetch(QStringLiteral("/to-file")).isEmpty());
    for (const QString &url : { localURL, dataURL, QStringLiteral("ftp://127.0.0.1/x"),
             QStringLiteral("mailto:someone@example.com") }) {
        SCOPED_TRACE(url.left(40).toStdString());
        EXPECT_TRUE(await(m_service->fetchLinkMetadata(QUrl(url))).isEmpty());
        EXPECT_TRUE(await(m_service->downloadImage(QUrl(url))) == LinkPictures());
    }
}

TEST_F(LinkMetadataServiceTest, RedirectsAreFollowedFiveTimesAtMost)
{
    m_server.setResponse(QStringLiteral("/r0"),
        LocalHttpServer::page(html(QStringLiteral(R"(<meta property="og:title" content="Arrived">)"))));
    // Redirect bodies are small pages of their own; they are not what the link shows.
    const QByteArray movedPage = html(QStringLiteral(R"(<meta property="og:title" content="Moved">)"));
    for (int hop = 1; hop <= 6; ++hop) {
        LocalHttpServer::Response moved
            = LocalHttpServer::redirect(QStringLiteral("/r%1").arg(hop - 1).toUtf8(), hop % 2 ? 302 : 301);
        moved.body = movedPage;
        m_server.setResponse(QStringLiteral("/r%1").arg(hop), moved);
    }
    struct Case
    {
        int hops;
        bool arrives;
    };
    for (const Case c : { Case { 0, true }, Case { 1, true }, Case { 5, true }, Case { 6, false } }) {
        SCOPED_TRACE(c.hops);
        QList<int> before;
        for (int hop = 0; hop <= 6; ++hop)
            before.append(m_server.requestCount(QStringLiteral("/r%1").arg(hop)));
        const LinkMetadata metadata = fetch(QStringLiteral("/r%1").arg(c.hops));
        EXPECT_EQ(
            metadata.title, c.arrives ? std::optional<QString>(QStringLiteral("Arrived")) : std::nullopt);
        // Each address of the chain asked for once; after the fifth redirect nothing more.
        for (int hop = 0; hop <= 6; ++hop) {
            const bool asked = hop <= c.hops && (c.arrives || hop > 0);
            EXPECT_EQ(m_server.requestCount(QStringLiteral("/r%1").arg(hop)) - before[hop], asked ? 1 : 0)
                << hop;
        }
    }
}

TEST_F(LinkMetadataServiceTest, StatusAndCharacterSetOfThePage)
{
    LocalHttpServer::Response missing = LocalHttpServer::page(
        html(QStringLiteral(R"(<meta property="og:title" content="Not found page">)")));
    missing.status = 404;
    m_server.setResponse(QStringLiteral("/missing"), missing);
    m_server.setResponse(QStringLiteral("/latin1"),
        LocalHttpServer::page(QByteArray("<head><meta property=\"og:title\" content=\"Caf\xe9\"></head>")));
    // The status of a page is not looked at; a picture needs 200.
    EXPECT_EQ(fetch(QStringLiteral("/missing")).title, QStringLiteral("Not found page"));
    // Bytes that are no UTF-8 give nothing.
    EXPECT_TRUE(fetch(QStringLiteral("/latin1")).isEmpty());
    LocalHttpServer::Response notOk = LocalHttpServer::image(encodedColour(QSize(20, 20), Qt::red));
    notOk.status = 404;
    m_server.setResponse(QStringLiteral("/404.png"), notOk);
    EXPECT_TRUE(await(m_service->downloadImage(m_server.url(QStringLiteral("/404.png")))) == LinkPictures());
}

TEST_F(LinkMetadataServiceTest, HugeBodiesAreNotRead)
{
    const QByteArray head = "<html><head><meta property=\"og:title\" content=\"Big\">";
    // A 50 MB page: the head is read and the transfer ends there.
    LocalHttpServer::Response bigPage = LocalHttpServer::page(head + "</head><body>");
    bigPage.fillerBytes = 50 * mebibyte;
    m_server.setResponse(QStringLiteral("/big"), bigPage);
    // A head that never ends: read up to the cap.
    LocalHttpServer::Response endlessHead = LocalHttpServer::page("<html><head><title>Early</title>");
    endlessHead.fillerBytes = 50 * mebibyte;
    endlessHead.omitLength = true;
    m_server.setResponse(QStringLiteral("/endless"), endlessHead);
    // A title past the first mebibyte is never seen.
    m_server.setResponse(QStringLiteral("/late-title"),
        LocalHttpServer::page("<html><head>" + QByteArray(2 * mebibyte, ' ') + "<title>Late</title></head>"));
    // A picture over 10 MB is refused whole, its length announced or not.
    for (const bool announced : { true, false }) {
        LocalHttpServer::Response bigPicture = LocalHttpServer::image(encodedColour(QSize(20, 20), Qt::red));
        bigPicture.fillerBytes = (announced ? 50 : 12) * mebibyte;
        bigPicture.omitLength = !announced;
        m_server.setResponse(
            announced ? QStringLiteral("/big.png") : QStringLiteral("/big-unannounced.png"), bigPicture);
    }
    m_server.setResponse(QStringLiteral("/with-big-picture"),
        LocalHttpServer::page(
            html(QStringLiteral(R"(<meta property="og:title" content="Pic">)"
                                R"(<meta property="og:image" content="/big-unannounced.png">)"))));

    resetPeakResidentBytes();
    const qint64 peakBefore = peakResidentBytes();
    EXPECT_EQ(fetch(QStringLiteral("/big")).title, QStringLiteral("Big"));
    EXPECT_EQ(fetch(QStringLiteral("/endless")).title, QStringLiteral("Early"));
    EXPECT_TRUE(fetch(QStringLiteral("/late-title")).isEmpty());
    const LinkMetadata withPicture = fetch(QStringLiteral("/with-big-picture"));
    EXPECT_EQ(withPicture.title, QStringLiteral("Pic"));
    EXPECT_FALSE(withPicture.thumbnailData);
    EXPECT_TRUE(await(m_service->downloadImage(m_server.url(QStringLiteral("/big.png")))) == LinkPictures());

    // The process never held a body: its peak memory grew by far less than one of them.
    if (memoryIsMeasurable()) {
        EXPECT_LT(peakResidentBytes() - peakBefore, 40 * mebibyte);
    }
    // What left the server is what the client took before it hung up, plus what the system's
    // socket buffers held (on loopback they grow to tens of megabytes): less than the bodies.
    waitUntil([] { return false; }, std::chrono::milliseconds(100));
    for (const char *path : { "/big", "/endless", "/big.png" })
        EXPECT_LT(m_server.bytesSent(QString::fromLatin1(path)), 45 * mebibyte) << path;
}

TEST_F(LinkMetadataServiceTest, APictureOfHugeDimensionsIsNeverDecoded)
{
    // 20000 x 20000 pixels in a few tens of kilobytes.
    const QByteArray bomb = blackPng(20000, 20000);
    ASSERT_LT(bomb.size(), 400 * 1024);
    m_server.setResponse(QStringLiteral("/bomb.png"), LocalHttpServer::image(bomb));
    m_server.setResponse(QStringLiteral("/bomb"),
        LocalHttpServer::page(html(QStringLiteral(R"(<meta property="og:title" content="Bomb">)"
                                                  R"(<meta property="og:image" content="/bomb.png">)"))));
    resetPeakResidentBytes();
    const qint64 peakBefore = peakResidentBytes();
    const LinkMetadata metadata = fetch(QStringLiteral("/bomb"));
    EXPECT_EQ(metadata.title, QStringLiteral("Bomb"));
    EXPECT_FALSE(metadata.thumbnailData);
    // Decoding even one bit a pixel would have taken 50 MB.
    if (memoryIsMeasurable()) {
        EXPECT_LT(peakResidentBytes() - peakBefore, 30 * mebibyte);
    }
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/bomb.png")), 1);
}

TEST_F(ImpatientLinkMetadataServiceTest, ASilentServerIsGivenUpAndNothingIsCached)
{
    LocalHttpServer::Response silent;
    silent.hang = true;
    m_server.setResponse(QStringLiteral("/silent"), silent);
    m_server.setResponse(QStringLiteral("/silent.png"), silent);
    m_server.setResponse(QStringLiteral("/slow-picture"),
        LocalHttpServer::page(html(QStringLiteral(R"(<meta property="og:title" content="Slow">)"
                                                  R"(<meta property="og:image" content="/silent.png">)"))));

    EXPECT_TRUE(fetch(QStringLiteral("/silent")).isEmpty());
    EXPECT_EQ(cached(QStringLiteral("/silent")), std::nullopt);

    const LinkMetadata slowPicture = fetch(QStringLiteral("/slow-picture"));
    EXPECT_EQ(slowPicture.title, QStringLiteral("Slow"));
    EXPECT_FALSE(slowPicture.thumbnailData);
    // Kept, but without a thumbnail it is asked for again next time.
    ASSERT_TRUE(cached(QStringLiteral("/slow-picture")));
    fetch(QStringLiteral("/slow-picture"));
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/slow-picture")), 2);
}

TEST(LinkMetadataServiceLimitsTest, DefaultsAreFiveSecondsForPagesAndAMinuteForPictures)
{
    const LinkMetadataService::Limits limits;
    EXPECT_EQ(limits.pageTimeoutMs, 5000);
    EXPECT_EQ(limits.imageTimeoutMs, 60000);
    EXPECT_EQ(limits.maxPageBytes, 1024 * 1024);
    EXPECT_EQ(limits.maxImageBytes, 10 * 1024 * 1024);
}

TEST_F(LinkMetadataServiceTest, ThePagesWithAThumbnailAreServedFromTheCache)
{
    m_server.setResponse(
        QStringLiteral("/p.png"), LocalHttpServer::image(encodedColour(QSize(30, 30), Qt::red)));
    m_server.setResponse(QStringLiteral("/pictured"),
        LocalHttpServer::page(html(QStringLiteral(R"(<meta property="og:title" content="A">)"
                                                  R"(<meta property="og:image" content="/p.png">)"))));
    m_server.setResponse(QStringLiteral("/plain"),
        LocalHttpServer::page(html(QStringLiteral(R"(<meta property="og:title" content="B">)"))));
    m_server.setResponse(QStringLiteral("/nothing"),
        LocalHttpServer::page(html(QStringLiteral("<meta name=\"robots\" content=\"x\">"))));
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(fetch(QStringLiteral("/pictured")).title, QStringLiteral("A"));
        EXPECT_EQ(fetch(QStringLiteral("/plain")).title, QStringLiteral("B"));
        fetch(QStringLiteral("/nothing"));
    }
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/pictured")), 1);
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/p.png")), 1);
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/plain")), 3);
    EXPECT_EQ(m_server.requestCount(QStringLiteral("/nothing")), 3);
}

TEST_F(LinkMetadataServiceTest, APageWithNeitherTitleNorPictureGivesNothingAndIsNotRemembered)
{
    m_server.setResponse(
        QStringLiteral("/p.png"), LocalHttpServer::image(encodedColour(QSize(30, 30), Qt::red)));
    struct Case
    {
        const char *name;
        QString head;
        bool empty;
    };
    const Case cases[] = {
        { "a description alone", QStringLiteral(R"(<meta name="description" content="Only this">)"), true },
        { "a description and a picture that is gone",
            QStringLiteral(R"(<meta property="og:description" content="D">)"
                           R"(<meta property="og:image" content="/gone.png">)"),
            true },
        { "an empty page", QString(), true },
        { "a picture without a title",
            QStringLiteral(R"(<meta property="og:description" content="D">)"
                           R"(<meta property="og:image" content="/p.png">)"),
            false },
        { "a title without a picture", QStringLiteral(R"(<meta property="og:title" content="T">)"), false },
        { "the document's title alone", QStringLiteral("<title>Document</title>"), false },
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QStringLiteral("/quiet%1").arg(++index);
        m_server.setResponse(path, LocalHttpServer::page(html(c.head)));
        const LinkMetadata metadata = fetch(path);
        EXPECT_EQ(metadata.isEmpty(), c.empty);
        EXPECT_EQ(cached(path).has_value(), !c.empty);
    }
}

TEST_F(LinkMetadataServiceTest, TheCacheKeepsTheLast100Pages)
{
    const auto key = [](int n) { return QStringLiteral("https://example.com/%1").arg(n); };
    const LinkMetadata entry { QStringLiteral("t"), std::nullopt, QByteArray("png"), std::nullopt };
    for (int n = 0; n <= 100; ++n)
        await(m_service->storeLinkMetadata(key(n), entry).then([] { return true; }));
    EXPECT_EQ(await(m_service->cachedLinkMetadata(key(0))), std::nullopt) << "the oldest went";
    for (const int n : { 1, 50, 100 })
        EXPECT_EQ(await(m_service->cachedLinkMetadata(key(n))), entry) << n;

    // A key stored again still stands first in the order: it goes next.
    await(m_service->storeLinkMetadata(key(1), entry).then([] { return true; }));
    await(m_service->storeLinkMetadata(key(101), entry).then([] { return true; }));
    EXPECT_EQ(await(m_service->cachedLinkMetadata(key(1))), std::nullopt);
    EXPECT_EQ(await(m_service->cachedLinkMetadata(key(2))), entry);
}

TEST_F(LinkMetadataServiceTest, ShuttingDownCancelsWaitingFetchesAndAnswersLaterOnesEmpty)
{
    LocalHttpServer::Response silent;
    silent.hang = true;
    m_server.setResponse(QStringLiteral("/silent"), silent);
    QFuture<LinkMetadata> waiting = m_service->fetchLinkMetadata(m_server.url(QStringLiteral("/silent")));
    waitUntil([&] { return m_server.requestCount(QStringLiteral("/silent")) > 0; });
    m_service->stop();
    EXPECT_TRUE(m_service->waitUntilEnded(QDeadlineTimer(std::chrono::seconds(30))));
    EXPECT_TRUE(waiting.isFinished());
    EXPECT_TRUE(waiting.isCanceled());
    const LinkMetadata later = await(m_service->fetchLinkMetadata(m_server.url(QStringLiteral("/silent"))));
    EXPECT_TRUE(later.isEmpty());
}
