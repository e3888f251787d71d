#include "enrichment/LinkPictures.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <cmath>

namespace {

std::optional<QByteArray> pngData(const QImage &image)
{
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return std::nullopt;
    return bytes;
}

} // namespace

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

QImage downscaleImage(const QImage &source, int side)
{
    const int width = source.width();
    const int height = source.height();
    if (width <= 0 || height <= 0 || side <= 0)
        return source;
    const double scale = std::max(double(side) / width, double(side) / height);
    // Scaled first (smooth scaling averages when it shrinks), then the middle is cut out.
    const QImage scaled = source.scaled(std::max(side, int(std::lround(width * scale))),
        std::max(side, int(std::lround(height * scale))), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint((side - scaled.width()) / 2, (side - scaled.height()) / 2), scaled);
    painter.end();
    return square;
}
