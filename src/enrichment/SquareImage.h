#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

// The picture scaled to fill a square of side pixels, centred, the overflow of its longer side
// cut off (a 1000 x 500 picture keeps its middle 500 x 500; a small one is scaled up). Only the
// part that shows is scaled, so a very long picture is never scaled whole. A null picture or a
// side below 1 gives a null image.
QImage downscaleImage(const QImage &source, int side);

// The picture as PNG bytes; nothing for a null picture or when encoding fails.
std::optional<QByteArray> pngData(const QImage &image);
