// The panel's own resize handles and its shadow's room, on the panel window (offscreen, where the
// window manager's resize is not to be had, so every drag is the handles' own).
#include "shell/PanelResizeHandle.h"

#include "model/AppSettings.h"
#include "model/StoreTestSupport.h"
#include "panel/PanelController.h"
#include "panel/PanelFrameMemory.h"
#include "platform/UserDefaults.h"
#include "shell/ClipboardPanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>

namespace {

using Handle = PanelResizeGeometry::Handle;

class PanelResizeHandleTest : public StoreTest
{
protected:
    PanelResizeHandleTest()
        : defaults(m_settingsFolder.path() + QStringLiteral("/defaults.json"))
        , settings(defaults)
    { }

    std::unique_ptr<ClipboardPanel> makePanel(bool translucent)
    {
        auto panel = std::make_unique<ClipboardPanel>(container(), settings, defaults, translucent);
        panel->setMaximumFrameSize(QSizeF(1500, 1000));
        panel->setFrame(QRectF(100, 50, 500, 400));
        return panel;
    }
    static PanelResizeHandle *handleOf(const ClipboardPanel &panel, Handle handle)
    {
        for (PanelResizeHandle *candidate : panel.resizeHandles()) {
            if (candidate->handle() == handle)
                return candidate;
        }
        return nullptr;
    }

    QTemporaryDir m_settingsFolder;
    UserDefaults defaults;
    AppSettings settings;
};

} // namespace

TEST_F(PanelResizeHandleTest, WhereACompositorRunsTheWindowLeavesRoomForTheShadowAroundTheBody)
{
    struct Case
    {
        bool translucent;
        QMargins margins;
    };
    for (const Case &c : { Case { false, QMargins() }, Case { true, QMargins(20, 16, 20, 24) } }) {
        auto panel = makePanel(c.translucent);
        EXPECT_EQ(panel->shadowMargins(), c.margins);
        EXPECT_EQ(panel->frame(), QRectF(100, 50, 500, 400)) << "the frame is the body";
        EXPECT_EQ(QRect(panel->geometry()), QRect(100, 50, 500, 400).marginsAdded(c.margins));
        EXPECT_EQ(panel->minimumFrameSize(), QSizeF(360, 300));
        EXPECT_EQ(panel->maximumFrameSize(), QSizeF(1500, 1000));
        EXPECT_EQ(panel->contentView()->window(), panel.get());
        // Clicks belong to the panel over its body and, with room for them, the handles' reach.
        EXPECT_EQ(panel->hitFrame(), c.translucent ? QRectF(92, 42, 516, 416) : QRectF(100, 50, 500, 400));
    }
}

TEST_F(PanelResizeHandleTest, HandlesLieAlongTheBodysEdgesWithTheirCursors)
{
    for (const bool translucent : { false, true }) {
        auto panel = makePanel(translucent);
        panel->show(); // the handles follow the window's size once it is shown
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        const QPoint body(panel->shadowMargins().left(), panel->shadowMargins().top());
        ASSERT_EQ(panel->resizeHandles().size(), 8);
        struct Case
        {
            Handle handle;
            QRect geometry;
            Qt::CursorShape cursor;
            Qt::Edges edges;
        };
        const Case cases[] = {
            { Handle::right, QRect(494, 32, 14, 336), Qt::SizeHorCursor, Qt::RightEdge },
            { Handle::top, QRect(32, -8, 436, 14), Qt::SizeVerCursor, Qt::TopEdge },
            { Handle::bottomLeft, QRect(0, 368, 32, 32), Qt::SizeBDiagCursor, Qt::BottomEdge | Qt::LeftEdge },
            { Handle::topLeft, QRect(0, 0, 32, 32), Qt::SizeFDiagCursor, Qt::TopEdge | Qt::LeftEdge },
        };
        for (const Case &c : cases) {
            PanelResizeHandle *handle = handleOf(*panel, c.handle);
            ASSERT_NE(handle, nullptr);
            EXPECT_EQ(handle->geometry(), c.geometry.translated(body)) << int(c.handle) << " " << translucent;
            EXPECT_EQ(handle->cursor().shape(), c.cursor);
            EXPECT_EQ(PanelResizeHandle::systemEdges(c.handle), c.edges);
        }
        // A corner is only its triangle: the click across the diagonal reaches the content.
        const QPoint corner = handleOf(*panel, Handle::topLeft)->geometry().topLeft();
        EXPECT_EQ(panel->childAt(corner + QPoint(4, 4)), handleOf(*panel, Handle::topLeft));
        EXPECT_NE(panel->childAt(corner + QPoint(28, 28)), handleOf(*panel, Handle::topLeft));
        panel->hide();
    }
}

TEST_F(PanelResizeHandleTest, ADragResizesWithinTheLimitsAndItsEndSavesTheSizeAndDecidesTheTabs)
{
    // History and Text: tabs below 2 × 200 − 5 = 395.
    for (const char *text : { "one", "two" })
        context().insert(
            ClipboardItem::create(ClipboardItemType::text, { .text = QString::fromLatin1(text) }));
    ASSERT_TRUE(context().save().ok);
    auto panel = makePanel(false);
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    PanelController &controller = *panel->panelController();

    struct Case
    {
        const char *name;
        Handle handle;
        QPoint by;
        Qt::KeyboardModifiers modifiers;
        QRectF expected;
        bool tabs;
    };
    const Case cases[] = {
        { "right edge wider", Handle::right, QPoint(60, 0), {}, QRectF(100, 50, 560, 400), false },
        { "with Alt around the centre", Handle::right, QPoint(20, 0), Qt::AltModifier,
            QRectF(80, 50, 600, 400), false },
        { "left edge to the minimum: tabs", Handle::left, QPoint(400, 0), {}, QRectF(320, 50, 360, 400),
            true },
        { "a click without a move still ends the resize", Handle::bottom, QPoint(0, 0), {},
            QRectF(320, 50, 360, 400), true },
        { "bottom-right with Shift keeps the ratio", Handle::bottomRight, QPoint(90, 0), Qt::ShiftModifier,
            QRectF(320, 50, 450, 500), false },
    };
    for (const Case &c : cases) {
        PanelResizeHandle *handle = handleOf(*panel, c.handle);
        // Inside a corner's triangle, the middle of a strip.
        const QPoint start
            = PanelResizeGeometry::isCorner(c.handle) ? QPoint(26, 26) : handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, c.modifiers, start);
        EXPECT_TRUE(controller.inLiveResize()) << c.name;
        if (!c.by.isNull()) {
            QMouseEvent move(QEvent::MouseMove, QPointF(start + c.by),
                QPointF(handle->mapToGlobal(start + c.by)), Qt::LeftButton, Qt::LeftButton, c.modifiers);
            QApplication::sendEvent(handle, &move);
        }
        QTest::mouseRelease(handle, Qt::LeftButton, c.modifiers, start + c.by);
        EXPECT_FALSE(controller.inLiveResize()) << c.name;
        EXPECT_EQ(panel->frame(), c.expected) << c.name;
        EXPECT_EQ(defaults.string(PanelFrameMemory::sizeKey),
            QStringLiteral("{%1, %2}").arg(c.expected.width()).arg(c.expected.height()))
            << c.name;
        EXPECT_EQ(panel->maximumFrameSize(), QSizeF(panel->screen()->availableGeometry().size()))
            << c.name << ": the window manager may take it as far as the edges reach";
        EXPECT_EQ(controller.isLockedInTabMode(), c.tabs) << c.name;
    }
    // The keys held for the drags are let go, as after a real drag: the application takes the
    // held modifiers from the last event of the window system, and later tests read them.
    QTest::keyRelease(panel.get(), Qt::Key_Shift);
    EXPECT_EQ(QGuiApplication::queryKeyboardModifiers(), Qt::NoModifier);
}
