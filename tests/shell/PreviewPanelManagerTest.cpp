#include "shell/PreviewPanelManager.h"
#include "shell/PreviewWindow.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <QWidget>

using namespace std::chrono_literals;

namespace {

// The window as the manager sees it: what it hosts, where, whether shown, its alpha.
class FakePreviewWindow final : public PreviewWindow
{
public:
    ~FakePreviewWindow() override { delete content; }
    void setContent(QWidget *widget) override
    {
        delete content;
        content = widget;
        ++contentChanges;
    }
    bool hasContent() const override { return content != nullptr; }
    QSizeF fittingSize() const override { return QSizeF(320, 220); }
    double margin() const override { return 10; }
    QRectF frame() const override { return placed; }
    void setFrame(const QRectF &frame) override { placed = frame; }
    void orderFront() override { visible = true; }
    void orderOut() override { visible = false; }
    bool isVisible() const override { return visible; }
    void setAlpha(double value) override { alpha = value; }

    QWidget *content = nullptr;
    int contentChanges = 0;
    QRectF placed;
    bool visible = false;
    double alpha = -1;
};

class PreviewPanelManagerTest : public ::testing::Test
{
protected:
    PreviewPanelManager::ContentFactory content(const QString &name)
    {
        return [this, name] {
            ++madeContents;
            auto *widget = new QWidget;
            widget->setObjectName(name);
            return widget;
        };
    }
    QString shownContent() const
    {
        return window && window->content ? window->content->objectName() : QString();
    }
    bool isShown() const { return window && window->visible; }

    ManualClock clock;
    FakePreviewWindow *window = nullptr;
    int windowsMade = 0;
    int madeContents = 0;
    const PreviewPlacement::Screen screen { QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1080) };
    PreviewPanelManager manager { clock,
        [this] {
            ++windowsMade;
            auto made = std::make_unique<FakePreviewWindow>();
            window = made.get();
            return made;
        },
        [this] {
            return PreviewPanelManager::Screens { { screen }, screen };
        },
        [this] { return pointer; } };
    std::optional<QPointF> pointer;
    const QUuid first = QUuid::createUuid();
    const QUuid second = QUuid::createUuid();
    const QRectF rowA { 600, 300, 400, 44 };
    const QRectF rowB { 600, 346, 400, 44 };
};

} // namespace

TEST_F(PreviewPanelManagerTest, ShowsBesideTheAnchorAndFadesIn)
{
    manager.show(content(QStringLiteral("A")), first, rowA);
    ASSERT_TRUE(isShown());
    EXPECT_EQ(shownContent(), QStringLiteral("A"));
    EXPECT_EQ(window->placed, QRectF(998, 212, 320, 220));
    EXPECT_EQ(manager.currentItemID(), first);
    EXPECT_LT(window->alpha, 0.01) << "it fades in";
    clock.advance(50ms);
    EXPECT_GT(window->alpha, 0.2);
    EXPECT_LT(window->alpha, 0.8);
    clock.advance(50ms);
    EXPECT_DOUBLE_EQ(window->alpha, 1.0);

    // Again for the same item: nothing changes but the anchor it keeps to.
    manager.show(content(QStringLiteral("A again")), first, rowB);
    EXPECT_EQ(shownContent(), QStringLiteral("A"));
    EXPECT_EQ(madeContents, 1);
    EXPECT_EQ(manager.currentAnchorRect(), rowB);
    EXPECT_EQ(windowsMade, 1);
}

TEST_F(PreviewPanelManagerTest, AScheduledHideWaitsAndIsCancelledByTheNextShow)
{
    manager.show(content(QStringLiteral("A")), first, rowA);
    clock.advance(100ms);
    manager.scheduleHide();
    clock.advance(149ms);
    EXPECT_TRUE(isShown());
    // The pointer reached the next row in time: the preview switches without going away.
    manager.show(content(QStringLiteral("B")), second, rowB);
    clock.advance(1s);
    EXPECT_TRUE(isShown());
    EXPECT_EQ(shownContent(), QStringLiteral("B"));
    EXPECT_DOUBLE_EQ(window->alpha, 1.0);

    // Back onto the same row within the delay keeps it too.
    manager.scheduleHide();
    clock.advance(100ms);
    manager.show(content(QStringLiteral("B")), second, rowB);
    clock.advance(1s);
    EXPECT_TRUE(isShown());

    // Left alone, it fades out over 0.15 s after the 0.15 s wait and drops its content.
    manager.scheduleHide();
    clock.advance(150ms);
    EXPECT_TRUE(isShown());
    EXPECT_FALSE(manager.currentItemID());
    clock.advance(150ms);
    EXPECT_FALSE(isShown());
    EXPECT_FALSE(window->content);
}

TEST_F(PreviewPanelManagerTest, AShowDuringTheFadeKeepsTheWindowAndFadesBackIn)
{
    manager.show(content(QStringLiteral("A")), first, rowA);
    clock.advance(100ms);
    manager.hide(true);
    clock.advance(75ms);
    const double halfway = window->alpha;
    EXPECT_GT(halfway, 0.0);
    EXPECT_LT(halfway, 1.0);
    manager.show(content(QStringLiteral("A")), first, rowA);
    clock.advance(1s);
    EXPECT_TRUE(isShown()) << "the fade's end must not order it out";
    EXPECT_DOUBLE_EQ(window->alpha, 1.0);

    manager.hide(false);
    EXPECT_FALSE(isShown());
    EXPECT_FALSE(window->content);
    manager.hide(true); // nothing visible: nothing to do
    EXPECT_EQ(windowsMade, 1);
}

TEST_F(PreviewPanelManagerTest, WhileAMenuIsOpenNothingShows)
{
    manager.show(content(QStringLiteral("A")), first, rowA);
    clock.advance(100ms);
    manager.menuDidBeginTracking();
    EXPECT_TRUE(manager.isMenuTracking());
    clock.advance(150ms);
    EXPECT_FALSE(isShown()) << "a menu opening fades the preview out";
    manager.show(content(QStringLiteral("B")), second, rowB);
    EXPECT_FALSE(isShown());
    EXPECT_EQ(madeContents, 1) << "no content is made for a show that cannot happen";
    manager.menuDidEndTracking();
    manager.show(content(QStringLiteral("B")), second, rowB);
    EXPECT_TRUE(isShown());
}

TEST_F(PreviewPanelManagerTest, ResizingKeepsTheWindowOnItsAnchorWithinTheScreen)
{
    manager.show(content(QStringLiteral("A")), first, rowA);
    window->placed = QRectF(998, 212, 320, 400);
    manager.windowDidResize();
    EXPECT_EQ(window->placed, QRectF(998, 122, 320, 400));
    manager.show(content(QStringLiteral("B")), second, QRectF(600, 10, 400, 44));
    window->placed.setHeight(300);
    manager.windowDidResize();
    EXPECT_EQ(window->placed.top(), 10) << "10 below the screen's top";
}

TEST_F(PreviewPanelManagerTest, APanelAsWideAsTheScreenGetsThePreviewOverItAwayFromThePointer)
{
    const QRectF wideRow(60, 300, 1800, 44);
    pointer = QPointF(200, 320);
    manager.show(content(QStringLiteral("A")), first, wideRow);
    EXPECT_EQ(window->placed, QRectF(1590, 212, 320, 220)) << "at the right edge, clear of the pointer";
    pointer = QPointF(1700, 320);
    manager.show(content(QStringLiteral("B")), second, wideRow);
    EXPECT_EQ(window->placed, QRectF(10, 212, 320, 220)) << "at the left edge, clear of the pointer";
}
