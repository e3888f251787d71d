#pragma once

#include <QPolygonF>
#include <QRectF>
#include <QSizeF>

#include <array>

// The panel's own resize handles: four thin strips along its edges and four triangles in its
// corners, in the panel's coordinates (y grows downwards), and the frame a drag of one of them
// gives. A strip is 14 wide: 6 inside the panel and 8 beyond its edge, leaving 32 at each end
// to the corners; a corner answers only inside the triangle whose right angle sits at the
// panel's corner, so a click across its diagonal reaches the content.
class PanelResizeGeometry final
{
public:
    enum class Handle { top, bottom, left, right, bottomRight, bottomLeft, topRight, topLeft };
    // Bottom to top: the edges first, the corners over them.
    static constexpr std::array<Handle, 8> installationOrder { Handle::top, Handle::bottom, Handle::left,
        Handle::right, Handle::bottomRight, Handle::bottomLeft, Handle::topRight, Handle::topLeft };

    static constexpr double stripThickness = 14.0;
    static constexpr double cornerSize = 32.0;

    // What a drag does besides following the pointer: grow around the centre (Alt), keep the
    // width-to-height ratio (Shift, corners only).
    struct Modifiers
    {
        bool symmetric = false;
        bool keepAspect = false;
    };

    static bool isCorner(Handle handle);
    static bool touchesLeft(Handle handle);
    static bool touchesRight(Handle handle);
    static bool touchesTop(Handle handle);
    static bool touchesBottom(Handle handle);

    // Where the handle lies over a panel of this size.
    static QRectF handleFrame(Handle handle, QSizeF panelSize);
    // The active area of a corner in its own coordinates (empty for a strip).
    static QPolygonF trianglePath(Handle corner, QSizeF ownSize);
    // Whether a point in the handle's own coordinates is the handle's.
    static bool hitTest(Handle handle, QPointF point, QSizeF ownSize);

    // The frame after a drag by delta (the pointer's total movement since the press) that began
    // with the frame initial, kept within the minimum and maximum sizes.
    static QRectF resizedFrame(Handle handle, const QRectF &initial, QPointF delta, Modifiers modifiers,
        QSizeF minimum, QSizeF maximum);
};
