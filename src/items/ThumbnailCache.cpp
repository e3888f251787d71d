#include "items/ThumbnailCache.h"

#include "common/ThenWhileAlive.h"
#include "platform/ImageLimits.h"

#include <QBuffer>
#include <QImageReader>
#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace {

QString cacheKey(const ClipboardItem &item, QSize size)
{
    return QStringLiteral("thumb_%1_%2x%3")
        .arg(item.id().toString(QUuid::WithoutBraces))
        .arg(size.width())
        .arg(size.height());
}

// The item of a cacheKey(): the identifier after "thumb_".
QUuid itemIdOf(const QString &key)
{
    return QUuid::fromString(QStringView(key).mid(key.indexOf(u'_') + 1, 36));
}

using PictureReader = std::optional<QByteArray> (ClipboardItem::*)() const;

// The stored pictures of an item, smallest first.
QList<PictureReader> pictureSources(ClipboardItemType kind)
{
    switch (kind) {
    case ClipboardItemType::media:
        return { &ClipboardItem::mediaThumbnailData, &ClipboardItem::mediaPreviewData,
            &ClipboardItem::mediaImageData };
    case ClipboardItemType::file:
        return { &ClipboardItem::fileThumbnailData, &ClipboardItem::filePreviewData };
    case ClipboardItemType::link:
        return { &ClipboardItem::linkThumbnailData };
    case ClipboardItemType::text:
    case ClipboardItemType::color:
    case ClipboardItemType::code:
        break;
    }
    return {};
}

// The reader of a picture field; nullptr for other fields.
PictureReader fieldReader(ItemField field)
{
    switch (field) {
    case ItemField::mediaThumbnailData:
        return &ClipboardItem::mediaThumbnailData;
    case ItemField::mediaPreviewData:
        return &ClipboardItem::mediaPreviewData;
    case ItemField::mediaImageData:
        return &ClipboardItem::mediaImageData;
    case ItemField::fileThumbnailData:
        return &ClipboardItem::fileThumbnailData;
    case ItemField::filePreviewData:
        return &ClipboardItem::filePreviewData;
    case ItemField::linkThumbnailData:
        return &ClipboardItem::linkThumbnailData;
    default:
        return nullptr;
    }
}

} // namespace

ThumbnailCache &ThumbnailCache::shared()
{
    static ThumbnailCache cache;
    return cache;
}

ThumbnailCache::ThumbnailCache(qsizetype byteBudget, QObject *parent)
    : QObject(parent)
    , m_cache(byteBudget)
{ }

QImage ThumbnailCache::decodeScaled(const QByteArray &data, QSize size)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    // A picture too large to decode is not tried, scaled or not: reading it row by row to
    // scale it down would still take seconds.
    if (const std::optional<QSize> claimed = ImageLimits::sizeOf(data, reader);
        claimed && !ImageLimits::isDecodable(*claimed))
        return QImage();
    if (full.isValid() && (full.width() > size.width() || full.height() > size.height()))
        reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return image;
    // Formats that cannot scale while reading are scaled after.
    if (image.width() > size.width() || image.height() > size.height())
        image = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage ThumbnailCache::thumbnail(ClipboardItem &item, QSize size)
{
    if (size.isEmpty())
        return QImage();
    const QString key = cacheKey(item, size);
    if (const QImage *cached = m_cache.object(key))
        return *cached;
    // Nothing is kept for an item that has left the history (a list not refreshed yet may still
    // show it).
    if (m_decoding.contains(key) || item.isDeleted())
        return QImage();

    // A pinned reference shows the picture of the item it stands for.
    ClipboardItem &source = const_cast<ClipboardItem &>(item.resolvedItem());
    QList<QByteArray> candidates;
    qsizetype bytes = 0;
    for (auto read : pictureSources(source.type())) {
        const std::optional<QByteArray> data = (source.*read)();
        if (!data || data->isEmpty())
            continue;
        candidates.append(*data);
        bytes += data->size();
    }
    source.releaseExternalData();
    const auto decodeFirst = [candidates, size] {
        for (const QByteArray &data : candidates) {
            const QImage image = decodeScaled(data, size);
            if (!image.isNull())
                return image;
        }
        return QImage();
    };
    if (bytes <= inlineDecodeBytes) {
        const QImage image = decodeFirst();
        insert(key, image);
        return image;
    }
    m_decoding.insert(key);
    // Followed before the work starts, the picture always comes back through the event loop:
    // a decode that ended at once would otherwise be announced from within this call.
    auto decoded = std::make_shared<QPromise<QImage>>();
    thenWhileAlive(decoded->future(), this, [this, key](const QImage &image) {
        m_decoding.remove(key);
        insert(key, image);
        Q_EMIT thumbnailReady();
    });
    QThreadPool::globalInstance()->start([decoded, decodeFirst] {
        decoded->start();
        decoded->addResult(decodeFirst());
        decoded->finish();
    });
    return QImage();
}

void ThumbnailCache::insert(const QString &key, const QImage &image)
{
    // Pictureless items are remembered too, so that drawing does not read the store again.
    m_cache.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
}

void ThumbnailCache::propertyDidChange(const ClipboardItem &item, ItemField field)
{
    bool isSource = field == ItemField::itemType || field == ItemField::pinnedReference;
    for (auto read : pictureSources(item.type()))
        isSource = isSource || read == fieldReader(field);
    if (!isSource)
        return;
    remove(item.id());
    for (const ClipboardItemPtr &referencing : item.referencingItems())
        remove(referencing->id());
}

void ThumbnailCache::remove(const QUuid &itemId)
{
    remove(QSet<QUuid> { itemId });
}

void ThumbnailCache::remove(const QSet<QUuid> &itemIds)
{
    if (itemIds.isEmpty())
        return;
    for (const QString &key : m_cache.keys()) {
        if (itemIds.contains(itemIdOf(key)))
            m_cache.remove(key);
    }
}
