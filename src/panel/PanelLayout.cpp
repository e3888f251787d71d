#include "panel/PanelLayout.h"

#include <QFontMetricsF>
#include <QGuiApplication>

#include <cmath>

namespace PanelLayout {

Decision decide(double width, int visibleCount, bool inLiveResize, bool isLockedInTabMode, bool toggling,
    double currentColumnWidth)
{
    const int columns = std::max(1, visibleCount);
    if (inLiveResize && !toggling) {
        if (width > minimumWidthForTabs && width < columns * columnWidth - slack)
            return { true, width };
        return { false, width / columns };
    }
    if (isLockedInTabMode)
        return { true, width };
    if (toggling)
        return { false, currentColumnWidth };
    return { false, width / columns };
}

QFont panelFont(double pointSize, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(std::max(1, int(std::lround(pointSize))));
    font.setWeight(weight);
    return font;
}

double tabBarWidth(const QStringList &titles, double fontSize)
{
    const QFontMetricsF titleMetrics(panelFont(fontSize, QFont::Medium));
    double width = 0.0;
    for (const QString &title : titles)
        width += std::max(44.0, std::ceil(titleMetrics.horizontalAdvance(title)) + 20.0);
    if (!titles.isEmpty())
        width += 2.0 * double(titles.size() - 1);
    const QFontMetricsF clearMetrics(panelFont(fontSize - 1.0));
    const double clearButton = std::ceil(clearMetrics.horizontalAdvance(QStringLiteral("Clear"))) + 8.0;
    return width + 10.0 + 12.0 + (clearButton + 4.0 + 24.0) + 10.0;
}

} // namespace PanelLayout
