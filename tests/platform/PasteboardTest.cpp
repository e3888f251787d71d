#include "platform/Pasteboard.h"
#include "platform/SystemPasteboard.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QStringEncoder>

using namespace PasteboardData;

TEST(PasteboardTest, DecodesTextInTheEncodingsApplicationsUse)
{
    const QString text = QString::fromUtf8("Grüße €");
    const QString plain = PasteboardType::plainText;
    const QString mozilla = PasteboardType::mozillaUrl;
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString type;
        QString expected;
    } cases[] = {
        { "UTF-8", text.toUtf8(), plain, text },
        { "UTF-8 with mark", "\xEF\xBB\xBF" + text.toUtf8(), plain, text },
        { "UTF-16 with mark",
            QStringEncoder(QStringEncoder::Utf16, QStringEncoder::Flag::WriteBom).encode(text), plain, text },
        { "UTF-16 big endian with mark",
            QStringEncoder(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom).encode(text), plain,
            text },
        { "UTF-16 little endian, no mark (Mozilla)", QStringEncoder(QStringEncoder::Utf16LE).encode(text),
            mozilla, text },
        { "Mozilla's source address, no mark",
            QStringEncoder(QStringEncoder::Utf16LE).encode(QStringLiteral("https://a.example/")),
            PasteboardType::mozillaSourceUrl, QStringLiteral("https://a.example/") },
        // Zeros in ordinary text are kept as they came, not read as another encoding.
        { "plain text with zero bytes", QByteArray("a\0b\0c NUL text", 14), plain,
            QString::fromUtf8(QByteArray("a\0b\0c NUL text", 14)) },
        { "HTML with zero bytes", QByteArray("<\0b\0>", 6), PasteboardType::html,
            QString::fromUtf8(QByteArray("<\0b\0>", 6)) },
    };
    for (const auto &test : cases)
        EXPECT_EQ(decodeText(test.bytes, test.type), test.expected) << test.name;
    EXPECT_EQ(decodeText(QByteArray(), plain), QString());
}

TEST(PasteboardTest, ReadsFileLists)
{
    const QList<QUrl> two = { QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")),
        QUrl::fromLocalFile(QStringLiteral("/tmp/ü.png")) };
    EXPECT_EQ(parseUriList("# comment\r\nfile:///tmp/a%20b.txt\r\nfile:///tmp/%C3%BC.png\r\n"), two);
    EXPECT_EQ(parseUriList("file:///tmp/a%20b.txt\nfile:///tmp/%C3%BC.png"), two);
    EXPECT_EQ(
        parseUriList("https://example.com/\n"), QList<QUrl> { QUrl(QStringLiteral("https://example.com/")) });
    EXPECT_TRUE(parseUriList("not a uri\n\n").isEmpty());

    EXPECT_EQ(parseGnomeCopiedFiles(gnomeCopiedFiles(two)), two);
    EXPECT_EQ(parseGnomeCopiedFiles("cut\nfile:///tmp/a%20b.txt"), QList<QUrl> { two.first() });
    EXPECT_TRUE(parseGnomeCopiedFiles("file:///tmp/a%20b.txt").isEmpty()) << "no action line";
    EXPECT_TRUE(parseGnomeCopiedFiles("paste\nfile:///tmp/x").isEmpty());
}

TEST(PasteboardTest, ColoursTravelAsFourChannels)
{
    const QColor orange(255, 136, 0);
    EXPECT_EQ(encodeColor(orange).size(), 8);
    EXPECT_EQ(decodeColor(encodeColor(orange)), orange);
    EXPECT_EQ(decodeColor(encodeColor(QColor(1, 2, 3, 4)))->alpha(), 4);
    EXPECT_EQ(decodeColor("#ff8800"), orange);
    EXPECT_EQ(decodeColor("orange"), QColor(QStringLiteral("orange")));
    EXPECT_FALSE(decodeColor("1234567"));
    EXPECT_FALSE(decodeColor(QByteArray()));
    EXPECT_FALSE(decodeColor(QByteArray("\x01\x02\x03", 3)));
}

TEST(PasteboardTest, RequestsReadTheFirstTypeOnOffer)
{
    const QStringList offered = { "text/plain", "image/bmp", "image/png", "text/html" };
    EXPECT_EQ(firstOffered({ "image/png", "image/*" }, offered), "image/png");
    EXPECT_EQ(firstOffered({ "image/tiff", "image/*" }, offered), "image/bmp");
    EXPECT_EQ(firstOffered({ "image/tiff" }, offered), std::nullopt);
    EXPECT_EQ(firstOffered({}, offered), std::nullopt);
}

TEST(PasteboardTest, MemoryPasteboardReadsLikeTheSystemOne)
{
    MemoryPasteboard pasteboard;
    EXPECT_EQ(pasteboard.changeCount(), 0);
    EXPECT_TRUE(pasteboard.readContents({ { PasteboardType::plainText } }).result().types.isEmpty());

    auto mime = std::make_unique<QMimeData>();
    mime->setText(QStringLiteral("hello"));
    mime->setHtml(QStringLiteral("<b>hello</b>"));
    mime->setColorData(QColor(Qt::red));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    mime->setImageData(image);
    pasteboard.writeContents(std::move(mime));
    EXPECT_EQ(pasteboard.changeCount(), 1);

    const PasteboardContents contents
        = pasteboard
              .readContents({ { PasteboardType::plainText }, { PasteboardType::color },
                  { PasteboardType::png, PasteboardType::anyImage }, { PasteboardType::uriList } })
              .result();
    EXPECT_EQ(contents.value(PasteboardType::plainText), "hello");
    EXPECT_EQ(decodeColor(*contents.value(PasteboardType::color)), QColor(Qt::red));
    EXPECT_FALSE(contents.value(PasteboardType::html)) << "not asked for";
    EXPECT_FALSE(contents.value(PasteboardType::uriList));
    EXPECT_EQ(contents.image, image) << "an image object of this process";
    EXPECT_TRUE(contents.complete);

    pasteboard.clearContents();
    EXPECT_EQ(pasteboard.changeCount(), 2);
}

TEST(PasteboardTest, SystemPasteboardCountsEveryChangeAndReadsItsOwnContents)
{
    SystemPasteboard pasteboard;
    const qint64 start = pasteboard.changeCount();
    auto mime = std::make_unique<QMimeData>();
    mime->setUrls(
        { QUrl::fromLocalFile(QStringLiteral("/tmp/one")), QUrl::fromLocalFile(QStringLiteral("/tmp/two")) });
    pasteboard.writeContents(std::move(mime));
    EXPECT_EQ(pasteboard.changeCount(), start + 1);
    EXPECT_EQ(parseGnomeCopiedFiles(pasteboard.data(PasteboardType::gnomeCopiedFiles).value_or(QByteArray()))
                  .size(),
        2)
        << "file managers get their own flavour";

    QGuiApplication::clipboard()->setText(QStringLiteral("again"), QClipboard::Clipboard);
    QGuiApplication::clipboard()->setText(QStringLiteral("again"), QClipboard::Clipboard);
    EXPECT_EQ(pasteboard.changeCount(), start + 3) << "the same text twice is two changes";
    EXPECT_EQ(
        pasteboard.readContents({ { PasteboardType::plainText } }).result().value(PasteboardType::plainText),
        "again");
    EXPECT_TRUE(pasteboard.types().contains(PasteboardType::plainText));

    pasteboard.clearContents();
    EXPECT_EQ(pasteboard.changeCount(), start + 4);
    EXPECT_TRUE(pasteboard.types().isEmpty());
}
