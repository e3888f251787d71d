#include "enrichment/SquareImage.h"

#include <QBuffer>
#include <QImageWriter>

QImage downscaleImage(const QImage &source, int side)
{
    if (source.isNull() || side < 1)
        return QImage();
    const double width = source.width();
    const double height = source.height();
    const double scale = std::max(side / width, side / height);
    const double shown = side / scale;
    const QRect visible = QRectF((width - std::min(shown, width)) / 2, (height - std::min(shown, height)) / 2,
        std::min(shown, width), std::min(shown, height))
                              .toAlignedRect()
                              .intersected(source.rect());
    // A 32-bit picture is scaled straight from its pixels, without copying the part first.
    const QImage part = source.depth() == 32 ? QImage(source.constScanLine(visible.y()) + visible.x() * 4,
                            visible.width(), visible.height(), source.bytesPerLine(), source.format())
                                             : source.copy(visible);
    return part.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

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
