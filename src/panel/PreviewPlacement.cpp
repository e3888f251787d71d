#include "panel/PreviewPlacement.h"

std::optional<PreviewPlacement::Screen> PreviewPlacement::screenFor(const QRectF &anchor,
    const std::optional<Screen> &given, const QList<Screen> &screens, const std::optional<Screen> &primary)
{
    if (given)
        return given;
    for (const Screen &screen : screens) {
        if (screen.frame.contains(anchor.topLeft()))
            return screen;
    }
    return primary;
}

QPointF PreviewPlacement::origin(
    const QRectF &anchor, QSizeF size, double margin, const std::optional<QRectF> &visibleFrame)
{
    const double width = size.width();
    const double height = size.height();
    double x = anchor.right() + cardGap - margin;
    // The card (the window without its margin) would cross the screen's right edge.
    if (!visibleFrame || visibleFrame->right() < x + width - margin)
        x = anchor.left() - cardGap - width + margin;

    double y = anchor.center().y() - height / 2;
    if (visibleFrame) {
        if (y < visibleFrame->top())
            y = visibleFrame->top() + screenInset;
        if (y + height > visibleFrame->bottom())
            y = visibleFrame->bottom() - height - screenInset;
    }
    return QPointF(x, y);
}
