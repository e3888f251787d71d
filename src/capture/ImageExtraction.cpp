#include "capture/ImageExtraction.h"

#include "platform/ImageLimits.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeDatabase>

#include <cmath>
#include <mutex>

namespace {

void applyAllocationLimit()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(ImageExtraction::allocationLimitMegabytes); });
}

} // namespace

namespace ImageExtraction {

QStringList pasteboardImageRequest()
{
    return { PasteboardType::png, PasteboardType::tiff, PasteboardType::jpeg, PasteboardType::webp,
        PasteboardType::heic, PasteboardType::gif, PasteboardType::anyImage };
}

ImageSource imageSource(const PasteboardContents &contents)
{
    ImageSource source;
    if (const auto image = contents.firstImage()) {
        source.type = image->first;
        source.data = image->second;
    }
    if (source.data.isEmpty())
        source.image = contents.image;
    return source;
}

std::optional<QSize> imageSize(const ImageSource &source)
{
    if (source.data.isEmpty())
        return source.image.isNull() ? std::nullopt : std::optional<QSize>(source.image.size());
    return ImageLimits::sizeOf(source.data);
}

QImage decodeImage(const QByteArray &data, QByteArray *format)
{
    applyAllocationLimit();
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer);
    // Asked before reading: afterwards the reader no longer names what it detected.
    const QByteArray detected = reader.format();
    // The header is read first: a picture too large to decode is never decoded.
    if (const std::optional<QSize> claimed = ImageLimits::sizeOf(data, reader);
        claimed && !ImageLimits::isDecodable(*claimed))
        return QImage();
    QImage image;
    if (!reader.read(&image))
        return QImage();
    if (format)
        *format = detected;
    return image;
}

QImage thumbnailImage(const QImage &image, double size)
{
    return downscaleImage(image, int(2 * size));
}

std::optional<QByteArray> makeThumbnail(const QByteArray &imageData, double size)
{
    return pngData(thumbnailImage(decodeImage(imageData), size));
}

std::optional<PreparedImage> prepareImage(const ImageSource &source, double thumbnailSize)
{
    if (const std::optional<QSize> size = imageSize(source); size && !ImageLimits::isDecodable(*size))
        return std::nullopt;
    if (source.data.isEmpty()) {
        const std::optional<QByteArray> png = pngData(source.image);
        if (!png)
            return std::nullopt;
        return PreparedImage { *png, pngData(thumbnailImage(source.image, thumbnailSize)) };
    }
    QByteArray format;
    const QImage decoded = decodeImage(source.data, &format);
    if (decoded.isNull())
        return std::nullopt;
    const std::optional<QByteArray> png
        = format == "png" ? std::optional<QByteArray>(source.data) : pngData(decoded);
    if (!png)
        return std::nullopt;
    return PreparedImage { *png, pngData(thumbnailImage(decoded, thumbnailSize)) };
}

std::optional<MediaSubtype> mediaKindForFile(const QUrl &fileUrl)
{
    const QString path = fileUrl.isLocalFile() ? fileUrl.toLocalFile() : fileUrl.path();
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return std::nullopt;
    QStringList names = type.allAncestors();
    names.prepend(type.name());
    const auto conformsTo = [&](QStringView family) {
        return std::any_of(
            names.begin(), names.end(), [&](const QString &name) { return name.startsWith(family); });
    };
    if (conformsTo(u"image/"))
        return MediaSubtype::image;
    if (conformsTo(u"video/"))
        return MediaSubtype::video;
    if (conformsTo(u"audio/"))
        return MediaSubtype::audio;
    return std::nullopt;
}

} // namespace ImageExtraction
