#include "platform/ImageLimits.h"

#include <QBuffer>
#include <QImageReader>

namespace ImageLimits {

std::optional<QSize> sizeOf(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid())
        return std::nullopt;
    return size;
}

bool isDecodable(QSize size)
{
    return !size.isEmpty() && qint64(size.width()) * qint64(size.height()) <= maxPixels;
}

} // namespace ImageLimits
