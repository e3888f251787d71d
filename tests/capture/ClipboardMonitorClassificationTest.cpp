// What a clipboard reading becomes: colour, file, media, link, colour text, text or code.
#include "CaptureTestSupport.h"

#include "capture/DetectionText.h"
#include "capture/ImageExtraction.h"
#include "platform/FileBookmark.h"
#include "support/HeldThreadPool.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

class ClipboardMonitorClassificationTest : public CaptureTest
{
protected:
    static PasteboardSnapshot textSnapshot(const QString &text, const QString &bundle = QString())
    {
        PasteboardSnapshot snapshot;
        snapshot.types = { PasteboardType::plainText };
        snapshot.plainText = text;
        snapshot.isSVG = PasteboardSnapshot::looksLikeSVG(text);
        if (!bundle.isEmpty())
            snapshot.sourceBundleIdentifier = bundle;
        return snapshot;
    }
    static QByteArray png(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "png");
        return bytes;
    }
    QUrl touch(const QString &relativePath)
    {
        const QString path = m_files.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return QUrl::fromLocalFile(path);
    }

    QTemporaryDir m_files;
};

} // namespace

TEST_F(ClipboardMonitorClassificationTest, PasteboardColoursWinOverText)
{
    PasteboardSnapshot snapshot = textSnapshot(QStringLiteral("some text"));
    snapshot.colorData = PasteboardData::encodeColor(QColor(255, 136, 0));
    snapshot.sourceBundleIdentifier = QStringLiteral("org.gnome.design.Palette");
    snapshot.sourceAppName = QStringLiteral("Palette");
    const auto captured = classify(snapshot);
    ASSERT_TRUE(captured);
    const ClipboardItem &item = *captured->item;
    EXPECT_EQ(item.type(), ClipboardItemType::color);
    EXPECT_EQ(item.colorHex(), QStringLiteral("#FF8800"));
    EXPECT_EQ(item.originalColorFormat(), QStringLiteral("native"));
    EXPECT_EQ(item.previewText(), QStringLiteral("#FF8800"));
    EXPECT_EQ(item.textContent(), std::nullopt);
    EXPECT_EQ(item.sourceAppName(), QStringLiteral("Palette"));
    EXPECT_EQ(captured->fileURL, std::nullopt);

    // Colour data that does not read as a colour is passed over.
    snapshot.colorData = QByteArray("\x01\x02\x03", 3);
    EXPECT_EQ(classify(snapshot)->item->type(), ClipboardItemType::text);
}

TEST_F(ClipboardMonitorClassificationTest, FilesAndMediaFiles)
{
    const QUrl a = touch(QStringLiteral("report.pdf"));
    const QUrl b = touch(QStringLiteral("notes.txt"));
    const QUrl photo = touch(QStringLiteral("holiday.jpg"));
    const QUrl song = touch(QStringLiteral("song.mp3"));
    const QUrl folder = QUrl::fromLocalFile(m_files.path() + QStringLiteral("/"));
    const struct
    {
        const char *name;
        QList<QUrl> urls;
        ClipboardItemType kind;
        std::optional<QString> subtype;
        QString preview;
        std::optional<QStringList> further;
    } cases[] = {
        { "one file", { a }, ClipboardItemType::file, {}, "report.pdf", {} },
        { "two files", { a, b }, ClipboardItemType::file, {}, "report.pdf",
            QStringList { b.toString(QUrl::FullyEncoded) } },
        { "one picture file", { photo }, ClipboardItemType::media, "image", "holiday.jpg", {} },
        { "one audio file", { song }, ClipboardItemType::media, "audio", "song.mp3", {} },
        { "a picture among files", { photo, a }, ClipboardItemType::file, {}, "holiday.jpg",
            QStringList { a.toString(QUrl::FullyEncoded) } },
        { "a folder", { folder }, ClipboardItemType::file, {}, QFileInfo(m_files.path()).fileName(), {} },
    };
    for (const auto &test : cases) {
        PasteboardSnapshot snapshot = textSnapshot(QStringLiteral("file names as text"));
        snapshot.files = CopiedFiles(test.urls);
        snapshot.image.data = png(4, 4); // a file manager's icon must not win
        const auto captured = classify(snapshot);
        ASSERT_TRUE(captured) << test.name;
        const ClipboardItem &item = *captured->item;
        EXPECT_EQ(item.type(), test.kind) << test.name;
        EXPECT_EQ(item.mediaSubtypeRaw(), test.subtype) << test.name;
        EXPECT_EQ(item.fileURL(), test.urls.first()) << test.name;
        EXPECT_EQ(captured->fileURL, test.urls.first()) << test.name;
        EXPECT_EQ(item.previewText(), test.preview) << test.name;
        EXPECT_EQ(item.additionalFileURLStrings(), test.further) << test.name;
        EXPECT_EQ(item.textContent(), std::nullopt) << test.name;
        ASSERT_TRUE(item.fileBookmarkData()) << test.name;
        EXPECT_EQ(FileBookmark::resolve(*item.fileBookmarkData()), test.urls.first()) << test.name;
    }
}

TEST_F(ClipboardMonitorClassificationTest, AListOfManyFilesBecomesAnItemOnAWorkerThread)
{
    QByteArray list;
    QStringList further;
    for (int i = 0; i < 5000; ++i) {
        const QUrl url = QUrl::fromLocalFile(m_files.filePath(QStringLiteral("file %1.txt").arg(i)));
        list += url.toEncoded() + "\r\n";
        if (i > 0)
            further.append(url.toString(QUrl::FullyEncoded));
    }
    PasteboardContents contents;
    contents.types = { PasteboardType::uriList };
    contents.data.insert(PasteboardType::uriList, list);
    const PasteboardSnapshot snapshot = PasteboardSnapshot::make(contents, std::nullopt);
    ASSERT_TRUE(snapshot.files);
    EXPECT_EQ(snapshot.files->count(), 5000);

    HeldThreadPool pool;
    pool.hold();
    const QFuture<std::optional<ClipboardMonitor::CapturedContent>> building
        = m_monitor->processClipboardContent(snapshot);
    QCoreApplication::processEvents();
    EXPECT_FALSE(building.isFinished()) << "the item was built on the main thread";
    pool.release();
    ASSERT_TRUE(waitUntil([&] { return building.isFinished(); }));
    ASSERT_EQ(building.resultCount(), 1);
    ASSERT_TRUE(building.result());
    const ClipboardItem &item = *building.result()->item;
    EXPECT_EQ(item.type(), ClipboardItemType::file);
    EXPECT_EQ(item.fileURL(), QUrl::fromLocalFile(m_files.filePath(QStringLiteral("file 0.txt"))));
    EXPECT_EQ(item.additionalFileTotal(), 4999);
    EXPECT_EQ(item.additionalFileURLStrings(), further.first(ClipboardItem::maxListedFiles - 1));
    EXPECT_EQ(item.additionalFileURLList(), further.join(u'\n').toUtf8());
    EXPECT_TRUE(item.storedContentHash()) << "digested on the main thread";
}

TEST_F(ClipboardMonitorClassificationTest, FilesInTheTrashLeaveNoTrace)
{
    const QString dataHome
        = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    for (const QUrl &url : { QUrl::fromLocalFile(dataHome + QStringLiteral("/Trash/files/old.txt")),
             QUrl::fromLocalFile(QStringLiteral("/home/someone/.local/share/Trash/files/a.png")),
             QUrl::fromLocalFile(QStringLiteral("/media/usb/.Trash-1000/files/b.txt")),
             QUrl::fromLocalFile(QStringLiteral("/media/usb/.Trash/1000/files/c.txt")),
             QUrl(QStringLiteral("trash:///d.txt")) }) {
        PasteboardSnapshot snapshot = textSnapshot(QStringLiteral("old.txt"));
        snapshot.files = CopiedFiles({ url });
        EXPECT_FALSE(classify(snapshot)) << url.toString().toStdString();
    }
    PasteboardSnapshot notTrash;
    notTrash.files = CopiedFiles({ QUrl::fromLocalFile(QStringLiteral("/home/someone/Trash-notes.txt")) });
    EXPECT_TRUE(classify(notTrash));
}

TEST_F(ClipboardMonitorClassificationTest, Pictures)
{
    const QByteArray picture = png(300, 200);
    const struct
    {
        const char *name;
        std::optional<QString> text;
        ClipboardItemType kind;
    } cases[] = {
        { "a lone picture", {}, ClipboardItemType::media },
        { "a picture with SVG source", QStringLiteral("<svg viewBox=\"0 0 1 1\"></svg>"),
            ClipboardItemType::media },
        { "a picture with text", QStringLiteral("alt text"), ClipboardItemType::text },
    };
    for (const auto &test : cases) {
        PasteboardSnapshot snapshot;
        snapshot.plainText = test.text;
        snapshot.isSVG = PasteboardSnapshot::looksLikeSVG(test.text);
        snapshot.image = { PasteboardType::png, picture, {} };
        const auto captured = classify(snapshot);
        ASSERT_TRUE(captured) << test.name;
        EXPECT_EQ(captured->item->type(), test.kind) << test.name;
        if (test.kind != ClipboardItemType::media)
            continue;
        const ClipboardItem &item = *captured->item;
        EXPECT_EQ(item.mediaImageData(), picture) << test.name;
        EXPECT_EQ(item.mediaSubtypeRaw(), QStringLiteral("image")) << test.name;
        EXPECT_EQ(item.previewText(), QStringLiteral("Screenshot")) << test.name;
        ASSERT_TRUE(item.mediaThumbnailData()) << test.name;
        EXPECT_EQ(ImageExtraction::decodeImage(*item.mediaThumbnailData()).size(), QSize(80, 80))
            << test.name;
        EXPECT_EQ(captured->fileURL, std::nullopt) << test.name;
    }

    // SVG source alone is text; bytes that are no picture are not kept: they would be a blank
    // picture.
    EXPECT_EQ(classify(textSnapshot(QStringLiteral("<svg/>")))->item->type(), ClipboardItemType::text);
    PasteboardSnapshot junk;
    junk.image = { PasteboardType::tiff, QByteArray("no picture"), {} };
    EXPECT_FALSE(classify(junk));
    EXPECT_FALSE(classify(PasteboardSnapshot()));
    EXPECT_FALSE(classify(textSnapshot(QString())));
}

TEST_F(ClipboardMonitorClassificationTest, Links)
{
    m_settings->setExcludedURLPatterns(QStringLiteral("intranet.example.com\n"));
    const struct
    {
        const char *name;
        QString text;
        bool clean;
        bool adultFilter;
        std::optional<QString> stored; // nothing: no item at all
        ClipboardItemType kind;
    } cases[] = {
        { "a link", "https://example.com/a?utm_source=x", false, true, "https://example.com/a?utm_source=x",
            ClipboardItemType::link },
        { "cleaned", "https://example.com/a?utm_source=x&id=2", true, true, "https://example.com/a?id=2",
            ClipboardItemType::link },
        { "bare host", "example.com", false, true, "http://example.com", ClipboardItemType::link },
        { "spaces around", "  https://example.com/x \n", false, true, "https://example.com/x",
            ClipboardItemType::link },
        { "excluded", "https://intranet.example.com/secret", false, true, {}, ClipboardItemType::link },
        { "excluded, any case", "  HTTPS://Intranet.Example.COM/x", false, true, {},
            ClipboardItemType::link },
        { "excluded, a subdomain without a scheme", "wiki.intranet.example.com/page", false, true, {},
            ClipboardItemType::link },
        { "a host that only contains the entry", "https://notintranet.example.com/", false, true,
            "https://notintranet.example.com/", ClipboardItemType::link },
        { "a host that only starts with the entry", "https://intranet.example.com.other.net/x", false, true,
            "https://intranet.example.com.other.net/x", ClipboardItemType::link },
        { "adult", "https://www.xvideos.com/v/1", false, true, {}, ClipboardItemType::link },
        { "adult, filter off", "https://www.xvideos.com/v/1", false, false, "https://www.xvideos.com/v/1",
            ClipboardItemType::link },
        { "another scheme", "ftp://example.com/file", false, true, "ftp://example.com/file",
            ClipboardItemType::text },
        { "a sentence with a link", "see https://example.com now", false, true, "see https://example.com now",
            ClipboardItemType::text },
        { "an e-mail address", "someone@example.com", false, true, "someone@example.com",
            ClipboardItemType::text },
    };
    m_classifier.detection = {};
    for (const auto &test : cases) {
        m_settings->setRemoveTrackingParameters(test.clean);
        m_settings->setFilterAdultContent(test.adultFilter);
        const auto captured = classify(textSnapshot(test.text));
        if (!test.stored) {
            EXPECT_FALSE(captured) << test.name;
            continue;
        }
        ASSERT_TRUE(captured) << test.name;
        EXPECT_EQ(captured->item->type(), test.kind) << test.name;
        EXPECT_EQ(captured->item->textContent(), test.stored) << test.name;
        EXPECT_EQ(captured->item->previewText(), test.stored) << test.name;
    }
}

TEST_F(ClipboardMonitorClassificationTest, ALinkIsStoredAsItWasCopied)
{
    const struct
    {
        const char *copied;
        bool clean;
        const char *stored;
    } cases[] = {
        { "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
          "e?q=\xC3\xA4",
            false,
            "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
            "e?q=\xC3\xA4" },
        { "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/\xE3\x83\x91\xE3\x82\xB9", false,
            "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/\xE3\x83\x91\xE3\x82\xB9" },
        { "m\xC3\xBCnchen.de/stra\xC3\x9F"
          "e",
            false,
            "http://m\xC3\xBCnchen.de/stra\xC3\x9F"
            "e" },
        { "https://example\xE3\x80\x82org/x|y", false, "https://example\xE3\x80\x82org/x|y" },
        // Cleaning takes out the tracking and leaves the rest as it was written.
        { "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
          "e?q=\xC3\xA4&utm_source=news",
            true,
            "https://m\xC3\xBCnchen.de/stra\xC3\x9F"
            "e?q=\xC3\xA4" },
        { "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/?fbclid=1&\xE3\x83\x91=\xE3\x82\xB9", true,
            "https://\xE6\x97\xA5\xE6\x9C\xAC.jp/?\xE3\x83\x91=\xE3\x82\xB9" },
        { "https://example.com/caf%C3%A9?utm_medium=x&q=%E2%82%AC", true,
            "https://example.com/caf%C3%A9?q=%E2%82%AC" },
    };
    m_classifier.detection = {};
    for (const auto &test : cases) {
        SCOPED_TRACE(test.copied);
        m_settings->setRemoveTrackingParameters(test.clean);
        const auto captured = classify(textSnapshot(QString::fromUtf8(test.copied)));
        ASSERT_TRUE(captured);
        EXPECT_EQ(captured->item->type(), ClipboardItemType::link);
        EXPECT_EQ(captured->item->textContent(), QString::fromUtf8(test.stored));
        EXPECT_EQ(captured->item->fullText(), QString::fromUtf8(test.stored));
    }
}

namespace {

// Texts copied beside the entries "example.org/private", "intranet.example.com", "paypal.com",
// "127.0.0.1", "fass.de", "localhost" and "intranet", and whether each is kept.
const struct
{
    const char *text;
    bool kept;
} textsBesideBlockedPlaces[] = {
    { "https://example\xE3\x80\x82org/private", false },
    { "https://example\xEF\xBC\x8Eorg/private/notes", false },
    { "https://example.org//private", false },
    { "https://example.org/./private", false },
    { "https://example.org/public/../private", false },
    { "https://example.org\\private", false },
    { "https://example.org/%70rivate", false },
    { "HTTPS://EXAMPLE.ORG./private", false },
    { "https://intranet\xEF\xBD\xA1"
      "example\xEF\xBD\xA1"
      "com/",
        false },
    { "see https://example\xE3\x80\x82org/private now", false },
    { "notes: https://example.org/public/../private.", false },
    // Names mapped as browsers map them, an IPv6 address that maps the IPv4 one, and a dot
    // browsers refuse but older resolvers (IDNA 2003) read as a full stop.
    { "https://\uFF50\uFF41\uFF59\uFF50\uFF41\uFF4C\uFF0E\uFF43\uFF4F\uFF4D/x", false },
    { "https://pay\u00ADpal.com/x", false },
    { "http://\uFF11\uFF12\uFF17.\uFF10.\uFF10.\uFF11/x", false },
    { "http://[::ffff:127.0.0.1]/x", false },
    { "http://[::ffff:7f00:1]/x", false },
    { "https://example\uFE52org/private", false },
    { "read https://example\uFE52org/private/x first", false },
    { "\u8AAD\u3093\u3067\u3002https://example\uFE52org/private", false },
    // A tab, line feed or carriage return anywhere in an address, which browsers leave out.
    { "ht\ttps://paypal.com/", false },
    { "htt\nps://paypal.com/", false },
    { "h\rttps://paypal.com/", false },
    { "https:\n//paypal.com/", false },
    { "https://pay\tpal.com/", false },
    { "https://pay\npal.com/", false },
    { "https://pay\r\npal.com/", false },
    { "  https://pay\tpal.com/ \n", false },
    { "https://example.org/pri\tvate", false },
    { "https://example.org/priv\nate/x", false },
    { "https://example.org/p\rrivate", false },
    // A web scheme followed by no, one, three or four slashes, or by backslashes.
    { "https:paypal.com/", false },
    { "http:paypal.com", false },
    { "https:/paypal.com/", false },
    { "https:///paypal.com/", false },
    { "https:////example.org/private", false },
    { "https:\\\\paypal.com\\", false },
    { "https:\\paypal.com", false },
    { "https:/\\paypal.com/x", false },
    { "http:\\/\\/127.1/x", false },
    // The web's other schemes, and schemes in capitals.
    { "ftp://paypal.com/", false },
    { "ws://paypal.com/", false },
    { "wss://paypal.com/socket", false },
    { "wss:paypal.com", false },
    { "ftp:\\\\intranet.example.com\\pub", false },
    { "ws:///example.org/private", false },
    { "HTTPS:paypal.com/", false },
    { "FTP://PAYPAL.COM/", false },
    { "Wss://PayPal.com/", false },
    // Such addresses among other words.
    { "see https:paypal.com/ now", false },
    { "pay at wss://paypal.com/ now", false },
    { "(ftp://paypal.com/pub).", false },
    { "<a href=\"https:\\\\paypal.com\">", false },
    { "url=HTTPS:/paypal.com", false },
    { "https://example.org/public", true },
    { "https://example.org/private/../public", true },
    { "https://example\uFE52org/public", true },
    { "https://\uFF50\uFF41\uFF59\uFF50\uFF41\uFF4C\uFF0E\uFF4E\uFF45\uFF54/x", true },
    { "http://[::ffff:127.0.0.2]/x", true },
    // "ß" is a letter of its own to a browser (faß.de is xn--fa-hia.de), which IDNA 2003 read
    // as "ss": the older reading counts only where it finds more full stops.
    { "https://fa\u00DF.de/", true },
    { "see https://fa\u00DF.de/ now", true },
    { "see https://fass.de/ now", false },
    // A blocked host of one word: the same forms, and a user, a port, a final dot, a letter
    // escaped or in full width, and such an address among other words.
    { "http:/localhost:8781/x", false },
    { "http:\\\\intranet\\x", false },
    { "https:intranet/x", false },
    { "http:localhost:8781", false },
    { "HTTP:/localhost/x", false },
    { "http:\\/intranet/x", false },
    { "http:/\\intranet\\x", false },
    { "https:user@intranet/x", false },
    { "http:user:pw@intranet/x", false },
    { "https:intranet./x", false },
    { "https:INTRANET:443/x", false },
    { "ftp:intranet/pub", false },
    { "wss:intranet?x", false },
    { "http:intranet#top", false },
    { "https:\uFF49\uFF4E\uFF54\uFF52\uFF41\uFF4E\uFF45\uFF54/x", false },
    { "https://intra%6Eet/x", false },
    { "http:/local\thost:8781/x", false },
    { "see http:/localhost:8781/x now", false },
    // Other hosts of one word, and the blocked ones as words of a sentence or a log.
    { "http:/localhostx/y", true },
    { "https:intranets/x", true },
    { "http:/wiki/x", true },
    { "https:intranet is down", true },
    { "ERROR:http:Localhost refused the connection", true },
    { "note: localhost is down", true },
    { "http: intranet", true },
    // Texts that only look like such forms.
    { "https: is a scheme, paypal is a name", true },
    { "ratio 3:4", true },
    { "note:see", true },
    { "C:\\Users\\paypal.comfort", true },
    { "news:paypal.com", true },
    { "mailto:someone@paypal.com", true },
    { "javascript:paypal.com", true },
    { "ws:", true },
    { "https:other.net/?next=https:paypal.com", true },
    { "if (url.protocol === \"https:\") paypal();", true },
    { "pay\npal.com", true },
    { "https://example.org/public\n/private", true },
    { "https:\n\npaypal is a name", true },
};

} // namespace

TEST_F(ClipboardMonitorClassificationTest, TheBlacklistKeepsOutEveryFormABrowserOpensAsTheBlockedPlace)
{
    m_settings->setExcludedURLPatterns(QStringLiteral(
        "example.org/private\nintranet.example.com\npaypal.com\n127.0.0.1\nfass.de\nlocalhost\nintranet"));
    m_classifier.detection = {};
    for (const auto &test : textsBesideBlockedPlaces) {
        SCOPED_TRACE(test.text);
        EXPECT_EQ(classify(textSnapshot(QString::fromUtf8(test.text))).has_value(), test.kept);
    }
}

TEST_F(ClipboardMonitorClassificationTest, TheNameALinkCameWithIsItsTitle)
{
    PasteboardSnapshot titled = textSnapshot(QStringLiteral("https://example.com/"));
    titled.urlName = QStringLiteral("Example Domain");
    EXPECT_EQ(classify(titled)->item->linkTitle(), QStringLiteral("Example Domain"));
    titled.urlName = QString();
    EXPECT_EQ(classify(titled)->item->linkTitle(), std::nullopt);
}

TEST_F(ClipboardMonitorClassificationTest, ATextHoldingABlacklistedLinkAmongOtherWordsIsKeptOut)
{
    m_settings->setExcludedURLPatterns(QStringLiteral("intranet.example.com\nexample.org/private\nbank"));
    const QString longText = QString(60'000, u'x').replace(u'x', QStringLiteral("a ")) + u'\n';
    const struct
    {
        const char *name;
        QString text;
        bool kept;
    } cases[] = {
        { "a link in a sentence", "see https://intranet.example.com/secret now", false },
        { "a subdomain without a scheme, in brackets and a full stop",
            "Notes (wiki.intranet.example.com/page).", false },
        { "in angle brackets on a line of its own", "Minutes\n<https://intranet.example.com/m/3>\nEnd",
            false },
        { "glued to a word", "link:https://intranet.example.com/x", false },
        { "a path entry and a link under it", "read https://example.org/private/plan first", false },
        { "a word entry inside a link", "log in at https://mybank.example.net/login", false },
        { "a link past the length of link detection", longText + "https://intranet.example.com/", false },
        { "a host that only contains the entry", "see https://notintranet.example.com/ now", true },
        { "the entry named after another link", "https://other.net/?next=https://intranet.example.com/ ok",
            true },
        { "a path beside the entry's", "read https://example.org/privateer first", true },
        { "the word entry outside any link", "the bank is closed today", true },
        { "a word entry inside an address with the slashes left out", "pay at https:mybank.example.net/x",
            false },
        { "a word entry as the host of a web socket", "wss://bank/feed", false },
        { "a word entry after a logger named like a scheme", "ERROR:http:Bank transfer failed", true },
        { "the site named as an e-mail address", "mail someone@intranet.example.com", true },
        { "a long text without such a link", longText, true },
    };
    m_classifier.detection = {};
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(classify(textSnapshot(test.text)).has_value(), test.kept);
    }
    // Without a blacklist nothing is kept out.
    m_settings->setExcludedURLPatterns(QString());
    EXPECT_TRUE(classify(textSnapshot(cases[0].text)));
}

TEST_F(ClipboardMonitorClassificationTest, ColoursFromText)
{
    const struct
    {
        const char *name;
        QString text;
        QString bundle;
        QString page;
        std::optional<QString> hex;
        QString label;
    } cases[] = {
        { "hex anywhere", "#FF8800", "org.kde.kate", "", "#FF8800", "hex" },
        { "css function", " rgb(255, 136, 0) ", "", "", "#FF8800", "rgb" },
        { "bare hex from GIMP", "ff8800", "gimp-2.10", "", "#FF8800", "hex" },
        { "bare hex from a design page", "ff8800", "google-chrome", "https://www.figma.com/file/1", "#FF8800",
            "hex" },
        { "bare hex elsewhere", "ff8800", "org.kde.kate", "", {}, "" },
        { "a word of hex letters", "facade", "gimp-2.10", "", {}, "" },
    };
    for (const auto &test : cases) {
        PasteboardSnapshot snapshot = textSnapshot(test.text, test.bundle);
        if (!test.page.isEmpty())
            snapshot.chromiumSourceURL = test.page;
        const auto captured = classify(snapshot);
        ASSERT_TRUE(captured) << test.name;
        const ClipboardItem &item = *captured->item;
        if (!test.hex) {
            EXPECT_EQ(item.type(), ClipboardItemType::text) << test.name;
            continue;
        }
        EXPECT_EQ(item.type(), ClipboardItemType::color) << test.name;
        EXPECT_EQ(item.colorHex(), test.hex) << test.name;
        EXPECT_EQ(item.originalColorFormat(), test.label) << test.name;
        EXPECT_EQ(item.textContent(), test.text) << test.name << ": the text as copied";
        EXPECT_EQ(item.previewText(), test.text) << test.name;
    }
}

TEST_F(ClipboardMonitorClassificationTest, TextIsStoredWithUnixLineEnds)
{
    m_settings->setDetectCode(false);
    const auto captured = classify(textSnapshot(QStringLiteral("one\r\ntwo\rthree\nfour")));
    ASSERT_TRUE(captured);
    EXPECT_EQ(captured->item->textContent(), QStringLiteral("one\ntwo\nthree\nfour"));
    EXPECT_EQ(captured->item->type(), ClipboardItemType::text);
    EXPECT_EQ(captured->item->codeConfidence(), std::nullopt) << "no detector fields with detection off";
    EXPECT_EQ(captured->item->magikaTopLabel(), std::nullopt);
    EXPECT_TRUE(m_classifier.detectedTexts.isEmpty());
}

TEST_F(ClipboardMonitorClassificationTest, LongTextSkipsTheLinkAndColourTests)
{
    m_settings->setDetectCode(false);
    const QString link
        = QStringLiteral("https://example.com/") + QString(ClipboardMonitor::classificationTextLimit, u'a');
    const auto captured = classify(textSnapshot(link));
    ASSERT_TRUE(captured);
    const ClipboardItem &item = *captured->item;
    EXPECT_EQ(item.type(), ClipboardItemType::text);
    EXPECT_EQ(item.textContent()->size(), ClipboardItem::maxInlineTextLength);
    EXPECT_EQ(item.extendedTextData(), link.toUtf8());
    EXPECT_EQ(item.previewText(), link.first(ClipboardMonitor::previewLength));
}

TEST_F(ClipboardMonitorClassificationTest, FigmaHtmlIsKeptWithText)
{
    m_settings->setDetectCode(false);
    PasteboardSnapshot snapshot = textSnapshot(QStringLiteral("Frame 12"));
    snapshot.html
        = QStringLiteral("<meta charset=\"utf-8\"><span data-metadata=\"<!--(figma)abc(/figma)-->\"></span>");
    EXPECT_EQ(classify(snapshot)->item->htmlContent(), snapshot.html);
    snapshot.html = QStringLiteral("<b>Frame 12</b>");
    EXPECT_EQ(classify(snapshot)->item->htmlContent(), std::nullopt);
}

TEST_F(ClipboardMonitorClassificationTest, CodeDetectionDecides)
{
    using Detection = CodeClassifier::Detection;
    using Guess = CodeClassifier::LanguageGuess;
    const QString shortCode = QStringLiteral("for x in y: print(x)"); // under 100 characters
    const QString longCode = QString(400, u'x');
    const struct
    {
        const char *name;
        QString text;
        Detection detection;
        std::optional<Guess> guess;
        ClipboardItemType kind;
        std::optional<QString> language;
        std::optional<int> guessConfidence;
    } cases[] = {
        { "the detector says code", shortCode, { true, "python", 90, "python" }, Guess { "py", 0.8f },
            ClipboardItemType::code, "python", 80 },
        { "the network decides", shortCode, { false, {}, 3, {} }, Guess { "py", 0.10f },
            ClipboardItemType::code, "py", 10 },
        { "network under its threshold", shortCode, { false, {}, 50, {} }, Guess { "py", 0.09f },
            ClipboardItemType::text, {}, 9 },
        { "detector under its floor", shortCode, { false, {}, 2, {} }, Guess { "py", 0.9f },
            ClipboardItemType::text, {}, 90 },
        { "the model named a label", shortCode, { false, {}, 50, "txt" }, Guess { "py", 0.9f },
            ClipboardItemType::text, {}, 90 },
        { "no ranking", shortCode, { false, {}, 50, {} }, std::nullopt, ClipboardItemType::text, {}, {} },
        { "long text needs more", longCode, { false, {}, 9, {} }, Guess { "js", 0.5f },
            ClipboardItemType::text, {}, 50 },
        { "long text with enough", longCode, { false, {}, 10, {} }, Guess { "js", 0.30f },
            ClipboardItemType::code, "js", 30 },
        { "confidence truncated", shortCode, { true, "swift", 99, "swift" }, Guess { "swift", 0.9999f },
            ClipboardItemType::code, "swift", 99 },
    };
    for (const bool onOtherThread : { false, true }) {
        m_classifier.onOtherThread = onOtherThread;
        for (const auto &test : cases) {
            m_classifier.detection = test.detection;
            m_classifier.guess = test.guess;
            const auto captured = classify(textSnapshot(test.text));
            ASSERT_TRUE(captured) << test.name;
            const ClipboardItem &item = *captured->item;
            EXPECT_EQ(item.type(), test.kind) << test.name;
            EXPECT_EQ(item.codeLanguage(), test.language) << test.name;
            EXPECT_EQ(item.codeConfidence(), test.detection.confidence) << test.name;
            EXPECT_EQ(item.magikaTopLabel(), test.detection.topLabel) << test.name;
            EXPECT_EQ(item.guesslangConfidence(), test.guessConfidence) << test.name;
            EXPECT_EQ(item.guesslangLanguage(),
                test.guess ? std::optional<QString>(test.guess->language) : std::nullopt)
                << test.name;
            EXPECT_FALSE(item.codeAsText()) << test.name;
        }
    }
}

TEST_F(ClipboardMonitorClassificationTest, DetectorsSeeThePreparedText)
{
    const QString text = QStringLiteral("def f():\n   return 1\n    pass  \n\n");
    ASSERT_TRUE(classify(textSnapshot(text)));
    ASSERT_EQ(m_classifier.detectedTexts.size(), 1);
    EXPECT_EQ(m_classifier.detectedTexts.first(), QStringLiteral("def f():\n  return 1\n    pass"));
    EXPECT_EQ(m_classifier.rankedTexts, m_classifier.detectedTexts);
}

TEST_F(ClipboardMonitorClassificationTest, FailingDetectorsLeaveText)
{
    for (const bool fail : { false, true }) {
        m_classifier.cancel = !fail;
        m_classifier.fail = fail;
        const auto captured = classify(textSnapshot(QStringLiteral("int main() { return 0; }")));
        ASSERT_TRUE(captured) << (fail ? "failed" : "cancelled");
        EXPECT_EQ(captured->item->type(), ClipboardItemType::text);
        EXPECT_EQ(captured->item->codeConfidence(), 0);
        EXPECT_EQ(captured->item->guesslangLanguage(), std::nullopt);
    }

    m_classifier.cancel = false;
    m_classifier.fail = false;
    m_monitor->setCodeClassifier(nullptr);
    EXPECT_EQ(classify(textSnapshot(QStringLiteral("int main() { return 0; }")))->item->codeConfidence(),
        std::nullopt);
}

TEST_F(ClipboardMonitorClassificationTest, TextOfAPinnedItemIsNotDetectedAgain)
{
    const QString code = QStringLiteral("SELECT * FROM items;");
    storeItem(ClipboardItemType::code, { .text = code }, true);
    m_classifier.detection = { true, QStringLiteral("sql"), 100, QStringLiteral("sql") };
    const auto captured = classify(textSnapshot(code));
    ASSERT_TRUE(captured);
    EXPECT_EQ(captured->item->type(), ClipboardItemType::text);
    EXPECT_TRUE(m_classifier.detectedTexts.isEmpty());

    // A pinned item beyond the newest 200 text and code items does not count.
    for (int i = 0; i < DuplicateLookup::searchWindow; ++i)
        storeItem(ClipboardItemType::text, { .text = QStringLiteral("filler %1").arg(i) }, false, 1);
    EXPECT_EQ(classify(textSnapshot(code))->item->type(), ClipboardItemType::code);
}

TEST(DetectionTextTest, PreparesTextForTheDetectors)
{
    const QString head(25'000, u'h');
    const QString tail(25'000, u't');
    const struct
    {
        const char *name;
        QString text;
        QString prepared;
    } cases[] = {
        { "trailing space and line ends", "code;  \t\r\n\n", "code;" },
        { "odd indentation loses a space", "a\n   b\n    c\n \n", "a\n  b\n    c" },
        { "tabs are not spaces", "\t\tx\n \ty", "\t\tx\n\ty" },
        { "long text: both ends", head + QString(10'000, u'm') + tail, head + u'\n' + tail },
        { "at the limit: whole", QString(50'000, u'z'), QString(50'000, u'z') },
        { "empty", "", "" },
    };
    for (const auto &test : cases)
        EXPECT_EQ(DetectionText::prepareDetectionText(test.text), test.prepared) << test.name;

    EXPECT_DOUBLE_EQ(DetectionText::networkThreshold(100), 0.10);
    EXPECT_DOUBLE_EQ(DetectionText::networkThreshold(101), 0.15);
    EXPECT_DOUBLE_EQ(DetectionText::networkThreshold(301), 0.30);
    EXPECT_DOUBLE_EQ(DetectionText::detectorFloor(300), 0.05);
    EXPECT_DOUBLE_EQ(DetectionText::detectorFloor(301), 0.10);
}

TEST(DetectionTextTest, TheEndsOfALongTextAreCutBetweenCharacters)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
    const QString flag = QString::fromUtf8("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"); // one character, four units
    const QString accent = QString::fromUtf8("e\xCC\x81"); // one character, two units
    const auto isWhole = [](const QString &text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isHighSurrogate() && (i + 1 >= text.size() || !text[i + 1].isLowSurrogate()))
                return false;
            if (text[i].isLowSurrogate() && (i == 0 || !text[i - 1].isHighSurrogate()))
                return false;
        }
        return true;
    };
    const struct
    {
        const char *name;
        QString text;
    } cases[] = {
        // 24,999 units, then a pair across the 25,000th: the first end would keep half of it.
        { "a pair across the first cut", QString(24'999, u'a') + emoji + QString(30'000, u'b') },
        { "a pair across the second cut", QString(30'000, u'a') + emoji + QString(24'999, u'b') },
        { "pairs all along", emoji.repeated(30'001) },
        { "a flag across the first cut", QString(24'998, u'a') + flag + QString(30'000, u'b') },
        { "an accent across the first cut", QString(24'999, u'a') + accent + QString(30'000, u'b') },
    };
    for (const auto &test : cases) {
        const QString prepared = DetectionText::prepareDetectionText(test.text);
        EXPECT_TRUE(isWhole(prepared)) << test.name;
        EXPECT_LE(prepared.size(), DetectionText::maxLength + 1) << test.name;
        EXPECT_GE(prepared.size(), DetectionText::maxLength - 8) << test.name;
        const qsizetype join = prepared.indexOf(u'\n');
        ASSERT_GT(join, 0) << test.name;
        EXPECT_TRUE(test.text.startsWith(prepared.first(join))) << test.name;
        EXPECT_TRUE(test.text.endsWith(prepared.sliced(join + 1))) << test.name;
    }
    // The accent stays with its letter: a cut between them would leave the letter bare.
    const QString accented = DetectionText::prepareDetectionText(cases[4].text);
    EXPECT_FALSE(accented.first(accented.indexOf(u'\n')).endsWith(u'e'));
}
