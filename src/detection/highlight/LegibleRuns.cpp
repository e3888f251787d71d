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

double luminanceRatio(double first, double second)
{
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

} // namespace

namespace LegibleRuns {

double contrastRatio(const QColor &a, const QColor &b)
{
    return luminanceRatio(relativeLuminance(a), relativeLuminance(b));
}

QList<QTextLayout::FormatRange> onBackground(
    QList<QTextLayout::FormatRange> runs, const QColor &background, const QColor &text)
{
    // Every row's every line passes here at each paint: the background's share is worked out once.
    const double backgroundLuminance = relativeLuminance(background);
    for (QTextLayout::FormatRange &run : runs) {
        if (!run.format.hasProperty(QTextFormat::ForegroundBrush))
            continue;
        const QColor colour = run.format.foreground().color();
        if (colour.isValid()
            && luminanceRatio(relativeLuminance(colour), backgroundLuminance) < minimumContrast)
            run.format.setForeground(text);
    }
    return runs;
}

} // namespace LegibleRuns
