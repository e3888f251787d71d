#include "enrichment/LinkPictures.h"

#include "enrichment/SquareImage.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>

LinkPictures LinkPictures::fromImageData(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // The header alone tells the size; a picture whose size cannot be known that way is not
    // decoded at all.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > maxPixelCount)
        return {};
    // Formats that can (JPEG) decode straight at the size the preview needs.
    const double scale = std::max(double(previewSide) / size.width(), double(previewSide) / size.height());
    if (scale < 1.0 && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        reader.setScaledSize(
            QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale))));
    }
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    return { pngData(downscaleImage(image, thumbnailSide)), pngData(downscaleImage(image, previewSide)) };
}
