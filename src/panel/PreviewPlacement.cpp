#include "panel/PreviewPlacement.h"

#include <algorithm>

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

QPointF PreviewPlacement::origin(const QRectF &anchor, QSizeF size, double margin,
    const std::optional<QRectF> &visibleFrame, const std::optional<QPointF> &pointer)
{
    const double height = size.height();
    const double x = visibleFrame ? horizontalOrigin(anchor, size.width(), margin, *visibleFrame, pointer)
                                  : anchor.left() - cardGap - size.width() + margin;
    double y = anchor.center().y() - height / 2;
    if (visibleFrame) {
        if (y < visibleFrame->top())
            y = visibleFrame->top() + screenInset;
        if (y + height > visibleFrame->bottom())
            y = visibleFrame->bottom() - height - screenInset;
    }
    return QPointF(x, y);
}

double PreviewPlacement::horizontalOrigin(const QRectF &anchor, double width, double margin,
    const QRectF &visible, const std::optional<QPointF> &pointer)
{
    // The card is the window without its margin.
    const double right = anchor.right() + cardGap - margin;
    if (right + width - margin <= visible.right())
        return right;
    const double left = anchor.left() - cardGap - width + margin;
    if (left + margin >= visible.left())
        return left;
    // Neither side has room: over the panel, clear of the row under the pointer where possible,
    // and never off the screen.
    const bool towardsRight = pointer ? pointer->x() < visible.center().x()
                                      : visible.right() - anchor.right() >= anchor.left() - visible.left();
    const double leftmost = visible.left() + screenInset;
    return towardsRight ? std::max(leftmost, visible.right() - width - screenInset) : leftmost;
}
