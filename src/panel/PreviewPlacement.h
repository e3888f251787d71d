#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

// Where the item preview window goes, in screen coordinates (y grows downwards): its card 8
// points beside the anchor (the hovered row, as wide as the panel), on the right unless the card
// would cross the screen's right edge, then on the left; centred on the anchor's middle height
// and kept 10 points inside the screen's top and bottom. Where neither side has room (a wide
// panel on a narrow screen) the window stays 10 points inside the screen's edge, over the panel,
// on the half away from the pointer (a pointer on the middle line is on the right half), or
// without a pointer on the side with more room (the right on a tie). The window's transparent
// margin lies around the card, and may lie beyond the screen's edge.
class PreviewPlacement final
{
public:
    static constexpr double cardGap = 8.0;
    static constexpr double screenInset = 10.0;

    // The screen a preview of this anchor uses: the one given, else the first whose frame holds
    // the anchor's top-left corner, else the primary one; nothing without screens.
    struct Screen
    {
        QRectF frame;
        QRectF visibleFrame;
    };
    static std::optional<Screen> screenFor(const QRectF &anchor, const std::optional<Screen> &given,
        const QList<Screen> &screens, const std::optional<Screen> &primary);

    // The window's top-left corner for a window of size (card plus margin on every side).
    // Without a screen the preview goes to the left.
    static QPointF origin(const QRectF &anchor, QSizeF size, double margin,
        const std::optional<QRectF> &visibleFrame, const std::optional<QPointF> &pointer = std::nullopt);

private:
    static double horizontalOrigin(const QRectF &anchor, double width, double margin, const QRectF &visible,
        const std::optional<QPointF> &pointer);
};
