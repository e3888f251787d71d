#include "panel/PanelResizeGeometry.h"

#include <algorithm>
#include <cmath>

using Handle = PanelResizeGeometry::Handle;

bool PanelResizeGeometry::isCorner(Handle handle)
{
    return handle == Handle::topLeft || handle == Handle::topRight || handle == Handle::bottomLeft
        || handle == Handle::bottomRight;
}

bool PanelResizeGeometry::touchesLeft(Handle handle)
{
    return handle == Handle::left || handle == Handle::topLeft || handle == Handle::bottomLeft;
}

bool PanelResizeGeometry::touchesRight(Handle handle)
{
    return handle == Handle::right || handle == Handle::topRight || handle == Handle::bottomRight;
}

bool PanelResizeGeometry::touchesTop(Handle handle)
{
    return handle == Handle::top || handle == Handle::topLeft || handle == Handle::topRight;
}

bool PanelResizeGeometry::touchesBottom(Handle handle)
{
    return handle == Handle::bottom || handle == Handle::bottomLeft || handle == Handle::bottomRight;
}

QRectF PanelResizeGeometry::handleFrame(Handle handle, QSizeF panelSize)
{
    const double w = panelSize.width();
    const double h = panelSize.height();
    const double inside = 6.0;
    const double beyond = stripThickness - inside;
    switch (handle) {
    case Handle::top:
        return QRectF(cornerSize, -beyond, w - 2 * cornerSize, stripThickness);
    case Handle::bottom:
        return QRectF(cornerSize, h - inside, w - 2 * cornerSize, stripThickness);
    case Handle::left:
        return QRectF(-beyond, cornerSize, stripThickness, h - 2 * cornerSize);
    case Handle::right:
        return QRectF(w - inside, cornerSize, stripThickness, h - 2 * cornerSize);
    case Handle::bottomRight:
        return QRectF(w - cornerSize, h - cornerSize, cornerSize, cornerSize);
    case Handle::bottomLeft:
        return QRectF(0, h - cornerSize, cornerSize, cornerSize);
    case Handle::topRight:
        return QRectF(w - cornerSize, 0, cornerSize, cornerSize);
    case Handle::topLeft:
        return QRectF(0, 0, cornerSize, cornerSize);
    }
    return {};
}

QPolygonF PanelResizeGeometry::trianglePath(Handle corner, QSizeF ownSize)
{
    const double w = ownSize.width();
    const double h = ownSize.height();
    switch (corner) {
    case Handle::topLeft:
        return QPolygonF({ { 0, 0 }, { 0, h }, { w, 0 } });
    case Handle::topRight:
        return QPolygonF({ { w, 0 }, { w, h }, { 0, 0 } });
    case Handle::bottomLeft:
        return QPolygonF({ { 0, h }, { 0, 0 }, { w, h } });
    case Handle::bottomRight:
        return QPolygonF({ { w, h }, { w, 0 }, { 0, h } });
    default:
        return {};
    }
}

bool PanelResizeGeometry::hitTest(Handle handle, QPointF point, QSizeF ownSize)
{
    if (!isCorner(handle))
        return QRectF(QPointF(0, 0), ownSize).contains(point);
    return trianglePath(handle, ownSize).containsPoint(point, Qt::WindingFill);
}

QRectF PanelResizeGeometry::resizedFrame(
    Handle handle, const QRectF &initial, QPointF delta, Modifiers modifiers, QSizeF minimum, QSizeF maximum)
{
    double dx = delta.x();
    double dy = delta.y();
    const bool corner = isCorner(handle);
    if (corner && modifiers.keepAspect && initial.height() > 0) {
        // The ratio stays: the larger movement leads and the other follows from it, in the
        // direction that grows (or shrinks) both sides together.
        const double ratio = initial.width() / initial.height();
        const double sign = (touchesLeft(handle) == touchesTop(handle)) ? 1.0 : -1.0;
        if (std::abs(dx) / ratio <= std::abs(dy))
            dx = sign * dy * ratio;
        else
            dy = sign * dx / ratio;
    }
    const double factor = modifiers.symmetric ? 2.0 : 1.0;
    double width = initial.width();
    double height = initial.height();
    if (touchesRight(handle))
        width += factor * dx;
    else if (touchesLeft(handle))
        width -= factor * dx;
    if (touchesBottom(handle))
        height += factor * dy;
    else if (touchesTop(handle))
        height -= factor * dy;
    width = std::min(maximum.width(), std::max(minimum.width(), width));
    height = std::min(maximum.height(), std::max(minimum.height(), height));

    double x = initial.x();
    double y = initial.y();
    const bool horizontal = touchesLeft(handle) || touchesRight(handle);
    const bool vertical = touchesTop(handle) || touchesBottom(handle);
    if (modifiers.symmetric) {
        if (horizontal)
            x = initial.center().x() - width / 2;
        if (vertical)
            y = initial.center().y() - height / 2;
    } else {
        // The opposite side stays where it was.
        if (touchesLeft(handle))
            x = initial.right() - width;
        if (touchesTop(handle))
            y = initial.bottom() - height;
    }
    return QRectF(x, y, width, height);
}
