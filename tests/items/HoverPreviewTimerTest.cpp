#include "items/HoverPreviewTimer.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class HoverPreviewTimerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QObject::connect(&timer, &HoverPreviewTimer::showRequested,
            [this](const ClipboardItemPtr &item, const QRectF &anchor) {
                events << QStringLiteral("show ") + item->textContent().value_or(QString());
                anchors << anchor;
            });
        QObject::connect(&timer, &HoverPreviewTimer::scheduleHideRequested,
            [this] { events << QStringLiteral("scheduleHide"); });
        QObject::connect(
            &timer, &HoverPreviewTimer::hideRequested, [this] { events << QStringLiteral("hide"); });
    }

    static ClipboardItemPtr item(const QString &text)
    {
        return ClipboardItem::create(ClipboardItemType::text, { .text = text });
    }

    ManualClock clock;
    HoverPreviewTimer timer { clock };
    QStringList events;
    QList<QRectF> anchors;
    const ClipboardItemPtr a = item(QStringLiteral("a"));
    const ClipboardItemPtr b = item(QStringLiteral("b"));
    const QRectF rowA { 100, 200, 400, 44 };
    const QRectF rowB { 100, 246, 400, 44 };
};

} // namespace

TEST_F(HoverPreviewTimerTest, APreviewIsDueOnceThePointerRestedOnAnItemForTheDelay)
{
    timer.pointerOver(a, rowA);
    clock.advance(300ms);
    timer.pointerOver(a, rowA.translated(0, 1)); // moves within the row do not restart the wait
    clock.advance(199ms);
    EXPECT_TRUE(events.isEmpty());
    clock.advance(1ms);
    EXPECT_EQ(events, QStringList({ "show a" }));
    EXPECT_EQ(anchors.last(), rowA.translated(0, 1)) << "where the row is by then";
    EXPECT_TRUE(timer.isPreviewShown());
}

TEST_F(HoverPreviewTimerTest, PassingOverItemsShowsNothingButTheOneRestedOn)
{
    timer.pointerOver(a, rowA);
    clock.advance(400ms);
    timer.pointerOver(b, rowB);
    clock.advance(400ms);
    timer.pointerLeft();
    clock.advance(1s);
    EXPECT_TRUE(events.isEmpty()) << "nothing rested long enough";
}

TEST_F(HoverPreviewTimerTest, OnceShownThePreviewFollowsThePointerAtOnceAndGoesWhenItLeaves)
{
    timer.pointerOver(a, rowA);
    clock.advance(500ms);
    timer.pointerOver(b, rowB);
    EXPECT_EQ(events, QStringList({ "show a", "show b" })) << "the next item at once, no second wait";

    // Over a gap between rows and on to the next within the dismissal time: still at once.
    timer.pointerLeft();
    clock.advance(100ms);
    timer.pointerOver(a, rowA);
    EXPECT_EQ(events, QStringList({ "show a", "show b", "scheduleHide", "show a" }));

    // Away for longer: the next item waits for the delay again.
    timer.pointerLeft();
    clock.advance(200ms);
    timer.pointerOver(b, rowB);
    clock.advance(499ms);
    EXPECT_EQ(events.size(), 5);
    clock.advance(1ms);
    EXPECT_EQ(events.last(), QStringLiteral("show b"));
}

TEST_F(HoverPreviewTimerTest, CancellingHidesAtOnceAndForgetsTheWait)
{
    timer.pointerOver(a, rowA);
    clock.advance(300ms);
    timer.cancel();
    clock.advance(1s);
    EXPECT_TRUE(events.isEmpty()) << "a cancelled wait shows nothing and hides nothing";

    timer.pointerOver(a, rowA);
    clock.advance(500ms);
    timer.cancel();
    EXPECT_EQ(events, QStringList({ "show a", "hide" }));
    timer.pointerOver(b, rowB);
    EXPECT_EQ(events.size(), 2) << "after a cancel the delay starts over";
    timer.pointerOver(nullptr, rowB);
    clock.advance(1s);
    EXPECT_EQ(events.size(), 2) << "no item is no preview";
}
