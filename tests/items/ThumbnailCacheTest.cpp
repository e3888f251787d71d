#include "items/ThumbnailCache.h"

#include "capture/ImageExtraction.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

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
        { .mediaThumbnailData = encodedColour(QSize(80, 80), Qt::darkCyan),
            .mediaSubtypeRaw = QStringLiteral("image") });
    EXPECT_EQ(cache.thumbnail(*small, QSize(40, 40)).size(), QSize(40, 40))
        << "a stored thumbnail is drawn at once";
    EXPECT_TRUE(ready.isEmpty());

    // A picture without a thumbnail of its own (as earlier versions stored some).
    const QByteArray large = noisyPng(QSize(600, 400));
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

TEST(ThumbnailCacheTest, ThePicturesOfItemsThatLeftTheHistoryGoAndTheOthersStay)
{
    ThumbnailCache cache;
    QList<ClipboardItemPtr> items;
    for (const QColor &colour : { QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue) }) {
        items.append(ClipboardItem::create(ClipboardItemType::media,
            { .mediaThumbnailData = encodedColour(QSize(80, 80), colour),
                .mediaSubtypeRaw = QStringLiteral("image") }));
        for (const QSize size : { QSize(40, 40), QSize(20, 20) })
            ASSERT_FALSE(cache.thumbnail(*items.last(), size).isNull());
    }
    const qsizetype each = cache.byteCount() / 3;
    cache.remove(QSet<QUuid> { items[0]->id(), items[2]->id(), QUuid::createUuid() });
    EXPECT_EQ(cache.byteCount(), each);
    cache.remove(items[1]->id());
    EXPECT_EQ(cache.byteCount(), 0);
}
