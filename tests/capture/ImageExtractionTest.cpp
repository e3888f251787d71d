#include "capture/ImageExtraction.h"
#include "platform/ImageLimits.h"

#include "capture/MediaTestSupport.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

using namespace ImageExtraction;

namespace {

QImage decoded(const std::optional<QByteArray> &bytes)
{
    return bytes ? decodeImage(*bytes) : QImage();
}

} // namespace

TEST(ImageExtractionTest, ThumbnailsCoverTheSquareCentred)
{
    const struct
    {
        const char *name;
        QImage image;
        double size;
        int side;
        QList<std::pair<QPoint, QColor>> samples;
    } cases[] = {
        { "wide: a quarter cut off each side", bands(1000, 500), 40, 80,
            { { { 1, 40 }, Qt::green }, { { 40, 40 }, Qt::green }, { { 78, 40 }, Qt::green } } },
        { "narrow and tall: only the middle shows",
            [] {
                QImage image(1, 1000, QImage::Format_RGB32);
                for (int y = 0; y < 1000; ++y)
                    image.setPixelColor(0, y, y >= 499 && y <= 500 ? QColor(Qt::yellow) : QColor(Qt::black));
                return image;
            }(),
            200, 400, { { { 0, 0 }, Qt::yellow }, { { 399, 399 }, Qt::yellow } } },
        { "small is scaled up", bands(8, 8), 40, 80,
            { { { 2, 40 }, Qt::red }, { { 40, 40 }, Qt::green }, { { 78, 40 }, Qt::blue } } },
        { "square keeps everything", bands(400, 400), 200, 400,
            { { { 10, 10 }, Qt::red }, { { 200, 10 }, Qt::green }, { { 390, 10 }, Qt::blue } } },
    };
    for (const auto &test : cases) {
        const QImage thumbnail = decoded(makeThumbnail(encoded(test.image, "png"), test.size));
        ASSERT_FALSE(thumbnail.isNull()) << test.name;
        EXPECT_EQ(thumbnail.size(), QSize(test.side, test.side)) << test.name;
        for (const auto &[point, color] : test.samples) {
            const QColor actual = thumbnail.pixelColor(point);
            EXPECT_NEAR(actual.red(), color.red(), 40)
                << test.name << " at " << point.x() << "," << point.y();
            EXPECT_NEAR(actual.green(), color.green(), 40) << test.name;
            EXPECT_NEAR(actual.blue(), color.blue(), 40) << test.name;
        }
    }
    EXPECT_FALSE(makeThumbnail(QByteArray("%PDF-1.4 not an image"), 40));
    EXPECT_TRUE(thumbnailImage(QImage(), 40).isNull());
}

TEST(ImageExtractionTest, PreparesClipboardImagesAsPng)
{
    const QImage picture = bands(64, 32);
    const QByteArray png = encoded(picture, "png");
    const QByteArray jpeg = encoded(picture, "jpeg");
    const QByteArray bmp = encoded(picture, "bmp");
    const QByteArray junk("\x00\x01not an image at all", 21);

    // PNG bytes are kept exactly, also when this process would have encoded them otherwise:
    // the same copy twice stays the same item.
    QByteArray uncompressed;
    QBuffer buffer(&uncompressed);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(100); // no compression
    ASSERT_TRUE(writer.write(picture));
    ASSERT_NE(uncompressed, png);
    std::optional<PreparedImage> prepared = prepareImage({ PasteboardType::png, uncompressed, {} }, 40);
    ASSERT_TRUE(prepared);
    EXPECT_EQ(prepared->imageData, uncompressed);
    prepared = prepareImage({ PasteboardType::png, png, {} }, 40);
    ASSERT_TRUE(prepared);
    EXPECT_EQ(prepared->imageData, png);
    EXPECT_EQ(decoded(prepared->thumbnail).size(), QSize(80, 80));

    for (const auto &[type, bytes] :
        { std::pair { PasteboardType::jpeg, jpeg }, std::pair { QStringLiteral("image/bmp"), bmp } }) {
        prepared = prepareImage({ type, bytes, {} }, 40);
        ASSERT_TRUE(prepared) << type.toStdString();
        EXPECT_TRUE(prepared->imageData.startsWith("\x89PNG")) << type.toStdString();
        EXPECT_EQ(decodeImage(prepared->imageData).size(), picture.size());
        EXPECT_TRUE(prepared->thumbnail);
    }

    // An image object of this process is encoded.
    prepared = prepareImage({ {}, {}, picture }, 40);
    ASSERT_TRUE(prepared);
    EXPECT_EQ(decodeImage(prepared->imageData).size(), picture.size());

    // Bytes that no decoder reads give no image: kept, they would be a blank picture.
    EXPECT_FALSE(prepareImage({ PasteboardType::tiff, junk, {} }, 40));

    EXPECT_FALSE(prepareImage({}, 40));
}

TEST(ImageExtractionTest, DecompressionBombsAreNotDecoded)
{
    const QByteArray small = blackPng(100, 100);
    EXPECT_EQ(decodeImage(small).size(), QSize(100, 100)) << "the hand-made PNG is valid";

    // 12,000 × 12,000 pixels would take 550 MB once decoded; the file is a few kilobytes.
    const QByteArray bomb = blackPng(12000, 12000);
    ASSERT_LT(bomb.size(), 100'000);
    EXPECT_TRUE(decodeImage(bomb).isNull());
    // Its size is known from the header alone, and it is refused outright: kept as bytes, it
    // would be tried again by everything that shows or pastes it.
    EXPECT_EQ(ImageLimits::sizeOf(bomb), QSize(12000, 12000));
    EXPECT_FALSE(prepareImage({ PasteboardType::png, bomb, {} }, 40));
}

TEST(ImageExtractionTest, ThePixelLimitIsReadFromTheHeaderBeforeAnyDecoding)
{
    const struct
    {
        QSize size;
        bool decodable;
    } cases[] = {
        { QSize(100, 100), true },
        { QSize(8000, 5000), true }, // exactly 40 million pixels
        { QSize(8000, 5001), false },
        { QSize(40'000'001, 1), false },
        { QSize(1, 40'000'001), false },
        { QSize(30000, 30000), false },
        { QSize(65535, 65535), false }, // the product does not fit in 32 bits
        { QSize(0, 0), false },
        { QSize(-1, -1), false },
    };
    for (const auto &test : cases)
        EXPECT_EQ(ImageLimits::isDecodable(test.size), test.decodable)
            << test.size.width() << "x" << test.size.height();

    // A header that claims more than the limit is never decoded, however small the file.
    for (const QSize size : { QSize(8000, 5001), QSize(30000, 30000) }) {
        const QByteArray claimed = blackPng(size.width(), size.height());
        EXPECT_EQ(ImageLimits::sizeOf(claimed), size);
        EXPECT_TRUE(decodeImage(claimed).isNull()) << size.width();
        EXPECT_FALSE(makeThumbnail(claimed, 40)) << size.width();
        EXPECT_FALSE(prepareImage({ PasteboardType::png, claimed, {} }, 40)) << size.width();
    }
    EXPECT_EQ(ImageLimits::sizeOf(QByteArray("no picture")), std::nullopt);
}

TEST(ImageExtractionTest, MediaKindsByExtension)
{
    const struct
    {
        const char *path;
        std::optional<MediaSubtype> kind;
    } cases[] = {
        { "/nowhere/photo.JPG", MediaSubtype::image },
        { "/nowhere/vector.svg", MediaSubtype::image },
        { "/nowhere/shot.png", MediaSubtype::image },
        { "/nowhere/clip.mov", MediaSubtype::video },
        { "/nowhere/film.mkv", MediaSubtype::video },
        { "/nowhere/song.mp3", MediaSubtype::audio },
        { "/nowhere/track.flac", MediaSubtype::audio },
        { "/nowhere/doc.pdf", std::nullopt },
        { "/nowhere/archive.tar.gz", std::nullopt },
        { "/nowhere/noextension", std::nullopt },
        { "/nowhere/folder/", std::nullopt },
    };
    for (const auto &test : cases)
        EXPECT_EQ(mediaKindForFile(QUrl::fromLocalFile(QString::fromUtf8(test.path))), test.kind)
            << test.path;
}

TEST(ImageExtractionTest, CoverArtOfAudioFiles)
{
    QTemporaryDir folder;
    const auto writeMp3 = [&](const QString &name, const QList<QByteArray> &pictures) {
        return writeTestMp3(folder.filePath(name), pictures);
    };
    const QByteArray cover = encoded(bands(300, 300), "png");

    const std::optional<MediaArtwork> artwork
        = loadMediaMetadata(writeMp3(QStringLiteral("with.mp3"), { cover }));
    ASSERT_TRUE(artwork);
    EXPECT_EQ(decodeImage(artwork->thumbnail).size(), QSize(80, 80));
    EXPECT_EQ(decodeImage(artwork->preview).size(), QSize(400, 400));

    const std::optional<MediaArtwork> second = loadMediaMetadata(
        writeMp3(QStringLiteral("broken-first.mp3"), { QByteArray("not a picture"), cover }));
    ASSERT_TRUE(second) << "an undecodable picture gives way to the next";

    EXPECT_FALSE(loadMediaMetadata(writeMp3(QStringLiteral("without.mp3"), {})));
    EXPECT_FALSE(loadMediaMetadata(QUrl::fromLocalFile(folder.filePath(QStringLiteral("missing.mp3")))));
    EXPECT_FALSE(loadMediaMetadata(QUrl(QStringLiteral("https://example.com/song.mp3"))));
}
