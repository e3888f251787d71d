#include "items/ThumbnailCache.h"

#include "capture/ImageExtraction.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QRandomGenerator>
#include <QSignalSpy>

namespace {

QByteArray png(int width, int height, bool noise = false)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    for (int y = 0; noise && y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xFF000000u | (QRandomGenerator::global()->generate() & 0xFFFFFFu);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

TEST(ThumbnailCacheTest, APictureTooLargeToDecodeIsNeverDecodedScaledOrNot)
{
    // Earlier versions kept undecodable bytes as the thumbnail; every show would try them.
    ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::media,
        { .mediaThumbnailData = greyscalePngBomb(30000, 30000), .mediaSubtypeRaw = QStringLiteral("image") });
    EXPECT_TRUE(ThumbnailCache::decodeScaled(*item->mediaThumbnailData(), QSize(80, 80)).isNull());
    ThumbnailCache cache;
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    EXPECT_TRUE(cache.thumbnail(*item, QSize(40, 40)).isNull());
    ASSERT_TRUE(waitUntil([&] { return !cache.isDecoding(); }));
    EXPECT_TRUE(cache.thumbnail(*item, QSize(40, 40)).isNull());
    EXPECT_EQ(ThumbnailCache::decodeScaled(greyscalePngBomb(2000, 1000), QSize(80, 80)).size(), QSize(80, 40))
        << "an ordinary picture of the same kind is decoded";
}

TEST(ThumbnailCacheTest, LargePicturesAreDecodedOnAWorkerAndSmallOnesAtOnce)
{
    ThumbnailCache cache;
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    ClipboardItemPtr small = ClipboardItem::create(ClipboardItemType::media,
        { .mediaThumbnailData = png(80, 80), .mediaSubtypeRaw = QStringLiteral("image") });
    EXPECT_EQ(cache.thumbnail(*small, QSize(40, 40)).size(), QSize(40, 40))
        << "a stored thumbnail is drawn at once";
    EXPECT_TRUE(ready.isEmpty());

    // A picture without a thumbnail of its own (as earlier versions stored some).
    const QByteArray large = png(600, 400, true);
    ASSERT_GT(large.size(), ThumbnailCache::inlineDecodeBytes);
    ClipboardItemPtr picture = ClipboardItem::create(
        ClipboardItemType::media, { .mediaImageData = large, .mediaSubtypeRaw = QStringLiteral("image") });
    EXPECT_TRUE(cache.thumbnail(*picture, QSize(60, 60)).isNull()) << "not on the caller's thread";
    EXPECT_TRUE(cache.isDecoding());
    EXPECT_TRUE(cache.thumbnail(*picture, QSize(60, 60)).isNull()) << "asked again while it is decoded";
    ASSERT_TRUE(waitUntil([&] { return ready.size() == 1; }));
    EXPECT_EQ(cache.thumbnail(*picture, QSize(60, 60)).size(), QSize(60, 40));
    EXPECT_EQ(ready.size(), 1) << "decoded once";
}
