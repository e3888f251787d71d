// The arithmetic of the pointer on the panel: the search strip's drag gesture, the resize
// handles and the frames their drags give, and where the preview window goes.
#include "panel/PanelResizeGeometry.h"
#include "panel/PreviewPlacement.h"
#include "panel/WindowDragGesture.h"

#include <gtest/gtest.h>

using Handle = PanelResizeGeometry::Handle;

TEST(WindowDragGestureTest, TheStripLeavesItsRightEndToTheButtonsThatShow)
{
    struct Case
    {
        bool pinned;
        bool clearButton;
        double reserved;
    };
    for (const Case &c : { Case { false, false, 50 }, Case { false, true, 80 }, Case { true, false, 86 },
             Case { true, true, 116 } }) {
        EXPECT_EQ(WindowDragGesture::reservedStripWidth(c.pinned, c.clearButton), c.reserved);
        const double width = 600;
        EXPECT_TRUE(WindowDragGesture::takesPoint(width - c.reserved, width, c.pinned, c.clearButton));
        EXPECT_FALSE(WindowDragGesture::takesPoint(width - c.reserved + 0.5, width, c.pinned, c.clearButton))
            << c.reserved;
        EXPECT_TRUE(WindowDragGesture::takesPoint(0, width, c.pinned, c.clearButton));
    }
}

TEST(WindowDragGestureTest, ADragStartsOnceBeyondThreePointsAndAClickIsAPressWithoutOne)
{
    struct Case
    {
        const char *name;
        QList<QPointF> moves;
        bool startsDrag;
    };
    const Case cases[] = {
        { "no movement", {}, false },
        { "exactly three points", { QPointF(3, 0) }, false },
        { "three points diagonally", { QPointF(2.1, 2.1) }, false },
        { "just over three", { QPointF(3.01, 0) }, true },
        { "back and forth within three", { QPointF(2, 2), QPointF(-2, 2), QPointF(0, -2.9) }, false },
        { "out and back", { QPointF(10, 0), QPointF(0, 0) }, true },
    };
    for (const Case &c : cases) {
        WindowDragGesture gesture;
        const QPointF start(100, 20);
        gesture.press(start);
        int starts = 0;
        for (const QPointF &move : c.moves)
            starts += gesture.move(start + move) ? 1 : 0;
        EXPECT_EQ(starts, c.startsDrag ? 1 : 0) << c.name;
        EXPECT_EQ(gesture.isDragging(), c.startsDrag) << c.name;
        EXPECT_EQ(gesture.release(), !c.startsDrag) << c.name << ": a release without a drag is a click";
        EXPECT_FALSE(gesture.isPressed());
        EXPECT_FALSE(gesture.release()) << c.name << ": a second release is nothing";
    }
    WindowDragGesture idle;
    EXPECT_FALSE(idle.move(QPointF(50, 50))) << "no drag without a press";
}

TEST(PanelResizeGeometryTest, HandlesLieAlongTheEdgesAndInTheCorners)
{
    const QSizeF panel(600, 400);
    struct Case
    {
        Handle handle;
        QRectF frame;
    };
    const Case cases[] = {
        { Handle::top, QRectF(32, -8, 536, 14) },
        { Handle::bottom, QRectF(32, 394, 536, 14) },
        { Handle::left, QRectF(-8, 32, 14, 336) },
        { Handle::right, QRectF(594, 32, 14, 336) },
        { Handle::bottomRight, QRectF(568, 368, 32, 32) },
        { Handle::bottomLeft, QRectF(0, 368, 32, 32) },
        { Handle::topRight, QRectF(568, 0, 32, 32) },
        { Handle::topLeft, QRectF(0, 0, 32, 32) },
    };
    for (const Case &c : cases)
        EXPECT_EQ(PanelResizeGeometry::handleFrame(c.handle, panel), c.frame) << int(c.handle);
    EXPECT_EQ(PanelResizeGeometry::installationOrder.back(), Handle::topLeft) << "corners lie over the edges";
}

TEST(PanelResizeGeometryTest, ACornerAnswersOnlyInsideTheTriangleAtThePanelsCorner)
{
    const QSizeF own(32, 32);
    struct Case
    {
        Handle handle;
        QPointF point;
        bool hit;
    };
    const Case cases[] = {
        { Handle::topLeft, QPointF(4, 4), true },
        { Handle::topLeft, QPointF(28, 28), false }, // across the diagonal: the content's
        { Handle::topRight, QPointF(28, 4), true },
        { Handle::topRight, QPointF(4, 28), false },
        { Handle::bottomLeft, QPointF(4, 28), true },
        { Handle::bottomLeft, QPointF(28, 4), false },
        { Handle::bottomRight, QPointF(28, 28), true },
        { Handle::bottomRight, QPointF(4, 4), false },
        { Handle::bottomRight, QPointF(20, 20), true },
        { Handle::bottomRight, QPointF(10, 10), false },
        { Handle::right, QPointF(1, 100), true }, // strips answer over their whole bounds
        { Handle::right, QPointF(15, 100), false },
    };
    for (const Case &c : cases) {
        const QSizeF size = PanelResizeGeometry::isCorner(c.handle) ? own : QSizeF(14, 336);
        EXPECT_EQ(PanelResizeGeometry::hitTest(c.handle, c.point, size), c.hit)
            << int(c.handle) << " at " << c.point.x() << "," << c.point.y();
    }
}

namespace {

struct ResizeDragCase
{
    const char *name;
    Handle handle;
    QRectF initial;
    QPointF delta;
    PanelResizeGeometry::Modifiers modifiers;
    QRectF expected;
};

// Drags of every handle, with and without Alt and Shift, from a 600 x 400 panel at (100, 100)
// unless a case starts elsewhere.
QList<ResizeDragCase> resizeDragCases()
{
    using M = PanelResizeGeometry::Modifiers;
    const QRectF panel(100, 100, 600, 400);
    return {
        { "right edge wider", Handle::right, panel, QPointF(50, 7), M {}, QRectF(100, 100, 650, 400) },
        { "left edge at the minimum keeps the right side", Handle::left, QRectF(100, 100, 400, 400),
            QPointF(50, 0), M {}, QRectF(140, 100, 360, 400) },
        { "right edge with Alt grows twice around the centre", Handle::right, panel, QPointF(10, 0),
            M { true, false }, QRectF(90, 100, 620, 400) },
        { "left edge with Alt", Handle::left, panel, QPointF(-10, 0), M { true, false },
            QRectF(90, 100, 620, 400) },
        { "top edge upwards keeps the bottom", Handle::top, panel, QPointF(0, -20), M {},
            QRectF(100, 80, 600, 420) },
        { "bottom edge downwards keeps the top", Handle::bottom, panel, QPointF(3, 20), M {},
            QRectF(100, 100, 600, 420) },
        { "top edge with Alt", Handle::top, panel, QPointF(0, -20), M { true, false },
            QRectF(100, 80, 600, 440) },
        { "shift on a strip changes nothing", Handle::bottom, panel, QPointF(30, 20), M { false, true },
            QRectF(100, 100, 600, 420) },
        { "bottom-right keeps the top-left", Handle::bottomRight, panel, QPointF(30, 20), M {},
            QRectF(100, 100, 630, 420) },
        { "top-left keeps the bottom-right", Handle::topLeft, panel, QPointF(-30, -20), M {},
            QRectF(70, 80, 630, 420) },
        { "top-right keeps the bottom-left", Handle::topRight, panel, QPointF(30, -20), M {},
            QRectF(100, 80, 630, 420) },
        { "bottom-left keeps the top-right", Handle::bottomLeft, panel, QPointF(-30, 20), M {},
            QRectF(70, 100, 630, 420) },
        // Ratio 2: the horizontal movement leads (|10| / 2 > |2|) and the height follows.
        { "shift keeps the ratio, led across", Handle::bottomRight, QRectF(100, 100, 600, 300),
            QPointF(10, 2), M { false, true }, QRectF(100, 100, 610, 305) },
        { "shift keeps the ratio, led down", Handle::bottomRight, QRectF(100, 100, 600, 300), QPointF(4, 10),
            M { false, true }, QRectF(100, 100, 620, 310) },
        { "shift on the top-left corner", Handle::topLeft, QRectF(100, 100, 600, 300), QPointF(-20, 0),
            M { false, true }, QRectF(80, 90, 620, 310) },
        { "shift on the top-right corner", Handle::topRight, QRectF(100, 100, 600, 300), QPointF(20, 0),
            M { false, true }, QRectF(100, 90, 620, 310) },
        { "shift on the bottom-left corner", Handle::bottomLeft, QRectF(100, 100, 600, 300), QPointF(0, 10),
            M { false, true }, QRectF(80, 100, 620, 310) },
        { "shift and alt together double the derived movement around the centre", Handle::bottomRight,
            QRectF(100, 100, 600, 300), QPointF(10, 0), M { true, true }, QRectF(90, 95, 620, 310) },
        { "never beyond the maximum", Handle::right, panel, QPointF(5000, 0), M {},
            QRectF(100, 100, 1920, 400) },
        { "never below the minimum height", Handle::bottomRight, panel, QPointF(0, -390), M {},
            QRectF(100, 100, 600, 300) },
    };
}

} // namespace

TEST(PanelResizeGeometryTest, DragsGiveFramesWithinTheLimitsKeepingTheOppositeSideOrTheCentre)
{
    const QSizeF minimum(360, 300);
    const QSizeF maximum(1920, 1080);
    for (const ResizeDragCase &c : resizeDragCases()) {
        EXPECT_EQ(
            PanelResizeGeometry::resizedFrame(c.handle, c.initial, c.delta, c.modifiers, minimum, maximum),
            c.expected)
            << c.name;
    }
}

TEST(PreviewPlacementTest, TheCardGoesBesideTheAnchorAndFlipsOrClampsAtTheScreensEdges)
{
    const QRectF visible(0, 30, 1920, 1050); // a bar of 30 at the top
    const QSizeF size(300, 200);
    struct Case
    {
        const char *name;
        QRectF anchor;
        double margin;
        std::optional<QRectF> visible;
        QPointF expected;
    };
    const Case cases[] = {
        { "right of the anchor, centred on it", QRectF(600, 500, 400, 44), 10, visible, QPointF(998, 422) },
        { "without a margin the window is the card", QRectF(600, 500, 400, 44), 0, visible,
            QPointF(1008, 422) },
        { "near the right edge: on the left", QRectF(1500, 500, 400, 44), 10, visible, QPointF(1202, 422) },
        { "the card just fits on the right", QRectF(1100, 500, 532, 44), 10, visible, QPointF(1630, 422) },
        { "one point more and it flips", QRectF(1100, 500, 533, 44), 10, visible, QPointF(802, 422) },
        { "the card just fits on the left, its margin off the screen", QRectF(288, 500, 1400, 44), 10,
            visible, QPointF(-10, 422) },
        { "near the top: 10 below the visible top", QRectF(600, 40, 400, 44), 10, visible, QPointF(998, 40) },
        { "near the bottom: 10 above the visible bottom", QRectF(600, 1040, 400, 30), 10, visible,
            QPointF(998, 870) },
        { "no screen: always on the left", QRectF(600, 500, 400, 44), 10, std::nullopt, QPointF(302, 422) },
    };
    for (const Case &c : cases)
        EXPECT_EQ(PreviewPlacement::origin(c.anchor, size, c.margin, c.visible), c.expected) << c.name;

    // The card never covers the anchor.
    for (const Case &c : cases) {
        const QPointF origin = PreviewPlacement::origin(c.anchor, size, c.margin, c.visible);
        const QRectF card = QRectF(origin, size).adjusted(c.margin, c.margin, -c.margin, -c.margin);
        EXPECT_FALSE(card.intersects(c.anchor)) << c.name;
    }
}

TEST(PreviewPlacementTest, WhereNeitherSideHasRoomThePreviewStaysOnTheScreenAwayFromThePointer)
{
    // A panel of n 200-point columns centred on the screen, its row 44 high at mid height, and
    // the widest preview (a 480-point card in a 10-point margin).
    const QSizeF size(500, 300);
    const auto centredRow = [](const QRectF &visible, double panelWidth) {
        return QRectF(visible.center().x() - panelWidth / 2, visible.center().y() - 22, panelWidth, 44);
    };
    struct Case
    {
        const char *name;
        QRectF visible;
        double panelWidth;
        std::optional<QPointF> pointer;
        double expectedX;
    };
    const QRectF laptop(0, 0, 1600, 900);
    const QRectF fullHd(0, 0, 1920, 1080);
    // 1920 × 1080 at a scale of 1.5, and a second screen to the right of the first.
    const QRectF scaled(0, 0, 1280, 720);
    const QRectF second(1920, 0, 1600, 900);
    const Case cases[] = {
        { "1600: seven columns, pointer on the left: at the right edge", laptop, 1400, QPointF(300, 450),
            1090 },
        { "1600: seven columns, pointer on the right: at the left edge", laptop, 1400, QPointF(1300, 450),
            10 },
        { "1600: no pointer, as much room each side: at the right edge", laptop, 1400, std::nullopt, 1090 },
        { "1920: seven columns leave 260 each side", fullHd, 1400, QPointF(400, 540), 1410 },
        { "1280 (1920 at 1.5): six columns", scaled, 1200, QPointF(100, 360), 770 },
        { "1280 (1920 at 1.5): pointer on the right", scaled, 1200, QPointF(1200, 360), 10 },
        { "the second screen, pointer on its left", second, 1400, QPointF(2100, 450), 3010 },
        { "the second screen, pointer on its right", second, 1400, QPointF(3400, 450), 1930 },
        { "a screen narrower than the preview: its left edge", QRectF(0, 0, 400, 300), 360, QPointF(300, 150),
            10 },
        { "a screen narrower than the preview, pointer on its left: still its left edge",
            QRectF(0, 0, 400, 300), 360, QPointF(100, 150), 10 },
        { "1600: pointer exactly at the centre counts as the right half: at the left edge", laptop, 1400,
            QPointF(800, 450), 10 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QRectF anchor = centredRow(c.visible, c.panelWidth);
        const QPointF origin = PreviewPlacement::origin(anchor, size, 10, c.visible, c.pointer);
        EXPECT_EQ(origin.x(), c.expectedX);
        if (size.width() + 2 * PreviewPlacement::screenInset <= c.visible.width()) {
            EXPECT_TRUE(c.visible.contains(QRectF(origin, size))) << "off the screen";
        }
    }

    // Left of the panel the card may reach the screen's edge, its margin beyond it; one point
    // further and it goes over the panel.
    EXPECT_EQ(PreviewPlacement::origin(QRectF(488, 518, 1000, 44), size, 10, fullHd).x(), -10);
    EXPECT_EQ(PreviewPlacement::origin(QRectF(487, 518, 1000, 44), size, 10, fullHd).x(), 10);
    // With room on one side the preview keeps beside the panel, wherever the pointer is.
    EXPECT_EQ(
        PreviewPlacement::origin(QRectF(20, 518, 1400, 44), size, 10, fullHd, QPointF(100, 540)).x(), 1418);
    EXPECT_EQ(
        PreviewPlacement::origin(QRectF(520, 518, 1400, 44), size, 10, fullHd, QPointF(1800, 540)).x(), 22);
}

TEST(PreviewPlacementTest, TheScreenIsTheGivenOneElseTheOneUnderTheAnchorElseThePrimary)
{
    const PreviewPlacement::Screen left { QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1050) };
    const PreviewPlacement::Screen right { QRectF(1920, 0, 1280, 1024), QRectF(1920, 0, 1280, 1024) };
    const QRectF onRight(2000, 100, 400, 44);
    EXPECT_EQ(PreviewPlacement::screenFor(onRight, left, { left, right }, left)->frame, left.frame);
    EXPECT_EQ(PreviewPlacement::screenFor(onRight, std::nullopt, { left, right }, left)->frame, right.frame);
    EXPECT_EQ(
        PreviewPlacement::screenFor(QRectF(-500, 0, 10, 10), std::nullopt, { left, right }, right)->frame,
        right.frame);
    EXPECT_FALSE(PreviewPlacement::screenFor(onRight, std::nullopt, {}, std::nullopt));
}
