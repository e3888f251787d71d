#include "detection/highlight/LegibleRuns.h"

#include <algorithm>
#include <cmath>

namespace {

double relativeLuminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

namespace LegibleRuns {

double contrastRatio(const QColor &a, const QColor &b)
{
    const double first = relativeLuminance(a);
    const double second = relativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QList<QTextLayout::FormatRange> onBackground(
    QList<QTextLayout::FormatRange> runs, const QColor &background, const QColor &text)
{
    for (QTextLayout::FormatRange &run : runs) {
        if (!run.format.hasProperty(QTextFormat::ForegroundBrush))
            continue;
        const QColor colour = run.format.foreground().color();
        if (colour.isValid() && contrastRatio(colour, background) < minimumContrast)
            run.format.setForeground(text);
    }
    return runs;
}

} // namespace LegibleRuns
