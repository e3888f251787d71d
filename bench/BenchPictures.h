#pragma once

// Pictures the benchmarks copy or seed the history with.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QSize>

// A picture with some structure and a band of noise, as photos and screenshots carry, so that a
// full-HD PNG weighs megabytes.
inline QByteArray encodedImage(QSize size, int seed, const char *format, int quality = -1)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor::fromHsv((seed * 41) % 360, 150, 240));
    gradient.setColorAt(1, QColor::fromHsv((seed * 41 + 150) % 360, 220, 90));
    painter.fillRect(image.rect(), gradient);
    QRandomGenerator random { quint32(seed) };
    for (int i = 0; i < 400; ++i) {
        painter.setPen(QColor::fromRgb(random.generate()));
        painter.drawEllipse(QPoint(random.bounded(size.width()), random.bounded(size.height())),
            random.bounded(4, 60), random.bounded(4, 60));
    }
    painter.end();
    for (int y = 0; y < size.height() / 4; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = random.generate() | 0xFF000000u;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}
