#pragma once

#include "model/ClipboardItem.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>

// Small pictures of items as rows and tiles draw them, decoded at the size they are drawn and
// kept within a byte budget (least recently used go first). The stored image data an item
// loads for decoding is released again at once, so a full image never stays in memory because
// its row was shown. Pictures whose header claims more than ImageLimits::maxPixels are
// never decoded. Small stored thumbnails are decoded at once; larger data (a full picture,
// bytes of an unknown kind) is decoded on a worker thread, and thumbnailReady asks for a
// repaint when it is done. Main thread only.
class ThumbnailCache final : public QObject
{
    Q_OBJECT
public:
    static ThumbnailCache &shared();
    explicit ThumbnailCache(qsizetype byteBudget = 16 * 1024 * 1024, QObject *parent = nullptr);

    // Data up to this size is decoded on the calling thread: a stored thumbnail is a few
    // kilobytes and decodes in well under a millisecond.
    static constexpr qsizetype inlineDecodeBytes = 256 * 1024;

    // The item's picture scaled to fit size; null when it has none, or while it is being
    // decoded. Decoded from the stored thumbnail, else from the preview, else (a media item
    // without either) from the image.
    QImage thumbnail(ClipboardItem &item, QSize size);
    void remove(const QUuid &itemId);
    void remove(const QSet<QUuid> &itemIds);
    // A stored property of the item changed: when it is one its picture comes from (a link's
    // picture that arrived after the row was first drawn, say), the pictures cached for it and
    // for the items that show it are dropped.
    void propertyDidChange(const ClipboardItem &item, ItemField field);
    void clear() { m_cache.clear(); }
    qsizetype byteCount() const { return m_cache.totalCost(); }
    bool isDecoding() const { return !m_decoding.isEmpty(); }

    // Decodes image data scaled to fit size, never allocating the full picture when the format
    // can scale while reading; null for data that is not an image or too large to decode.
    static QImage decodeScaled(const QByteArray &data, QSize size);

Q_SIGNALS:
    // A picture decoded on the worker thread is in the cache.
    void thumbnailReady();

private:
    void insert(const QString &key, const QImage &image);

    QCache<QString, QImage> m_cache;
    QSet<QString> m_decoding;
};
