#include "items/SwipeStateManager.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

using namespace std::chrono_literals;

TEST(SwipeStateManagerTest, ARowSlidesOpenOrShutByHowFarItWasSwiped)
{
    ManualClock clock;
    SwipeStateManager swipes(clock);
    const QUuid row = QUuid::createUuid();
    struct Case
    {
        const char *name;
        double swiped;
        bool staysOpen;
    };
    const Case cases[] = {
        { "a little", -20, false },
        { "just under half", -36, false },
        { "more than half", -40, true },
        { "beyond the action", -300, true },
        { "to the right", 50, false },
    };
    for (const Case &c : cases) {
        swipes.swipe(row, c.swiped);
        EXPECT_EQ(swipes.offset(row), std::clamp(c.swiped, -SwipeStateManager::actionWidth, 0.0)) << c.name;
        swipes.endSwipe();
        clock.advance(200ms);
        EXPECT_EQ(swipes.openRow().has_value(), c.staysOpen) << c.name;
        EXPECT_EQ(swipes.offset(row), c.staysOpen ? -SwipeStateManager::actionWidth : 0.0) << c.name;
        swipes.closeOpenRow();
        clock.advance(200ms);
    }
}

TEST(SwipeStateManagerTest, ClosingEasesOutOverTwoTenthsOfASecondAndClearsItsMarkerAfterwards)
{
    ManualClock clock;
    SwipeStateManager swipes(clock);
    const QUuid first = QUuid::createUuid();
    const QUuid second = QUuid::createUuid();
    swipes.swipe(first, -72);
    swipes.closeOpenRow();
    EXPECT_EQ(swipes.openRow(), std::nullopt);
    EXPECT_EQ(swipes.closingRow(), first);
    clock.advance(100ms);
    EXPECT_NEAR(swipes.offset(first), -72 * (1 - 0.6846), 0.01) << "ease-out, halfway through 0.2 s";
    clock.advance(100ms);
    EXPECT_EQ(swipes.offset(first), 0.0);
    EXPECT_EQ(swipes.closingRow(), std::nullopt);
    swipes.closeOpenRow(); // nothing open: nothing happens
    EXPECT_EQ(swipes.closingRow(), std::nullopt);

    // Swiping another row shuts the one that was open.
    swipes.swipe(first, -72);
    swipes.endSwipe();
    swipes.swipe(second, -10);
    EXPECT_EQ(swipes.openRow(), second);
    EXPECT_EQ(swipes.offset(first), 0.0);
    EXPECT_EQ(swipes.offset(second), -10.0);
}

TEST(SwipeStateManagerTest, APressElsewhereOrAScrollUpOrDownShutsTheOpenRow)
{
    ManualClock clock;
    SwipeStateManager swipes(clock);
    swipes.startMonitoring();
    swipes.startMonitoring();
    EXPECT_TRUE(swipes.isMonitoring());
    QWidget target;
    const QUuid row = QUuid::createUuid();
    const auto press = [&](QPoint global) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(global), QPointF(global), QPointF(global),
            Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&target, &event);
    };
    struct Case
    {
        const char *name;
        std::function<void()> act;
        bool shuts;
    };
    const Case cases[] = {
        { "a press on the open action", [&] { press(QPoint(510, 110)); }, false },
        { "a press elsewhere", [&] { press(QPoint(100, 100)); }, true },
        { "a sideways scroll",
            [&] {
                QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(-120, 0), Qt::NoButton,
                    {}, Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(&target, &wheel);
            },
            false },
        { "a scroll down",
            [&] {
                QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton,
                    {}, Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(&target, &wheel);
            },
            true },
    };
    for (const Case &c : cases) {
        swipes.swipe(row, -72);
        swipes.endSwipe();
        swipes.setActionArea(QRect(480, 100, 72, 44));
        c.act();
        EXPECT_EQ(!swipes.openRow().has_value(), c.shuts) << c.name;
        swipes.closeOpenRow();
        clock.advance(200ms);
    }
}

// An item shown in History and in its own column has a row in each: the row swiped opens, the
// other stays, and swiping the other shuts the first.
TEST(SwipeStateManagerTest, AnItemInTwoListsOpensOnlyInTheListSwiped)
{
    ManualClock clock;
    SwipeStateManager swipes(clock);
    const QUuid item = QUuid::createUuid();
    int historyList = 0;
    int textList = 0;
    const SwipeStateManager::Row inHistory { item, &historyList };
    const SwipeStateManager::Row inText { item, &textList };

    swipes.swipe(inHistory, -72);
    swipes.endSwipe();
    clock.advance(200ms);
    EXPECT_EQ(swipes.offset(inHistory), -SwipeStateManager::actionWidth);
    EXPECT_EQ(swipes.offset(inText), 0.0);
    EXPECT_EQ(swipes.openRow(), inHistory);

    swipes.swipe(inText, -72);
    EXPECT_EQ(swipes.openRow(), inText);
    EXPECT_EQ(swipes.offset(inHistory), 0.0) << "shut at once by the other";
    EXPECT_EQ(swipes.offset(inText), -SwipeStateManager::actionWidth);
}
