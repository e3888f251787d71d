#include "panel/PanelController.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

TEST(PanelControllerTest, PublishedFlagsAnnounceOnlyRealChanges)
{
    PanelController controller(nullptr, false);
    QSignalSpy pinned(&controller, &PanelController::isPinnedChanged);
    QSignalSpy resize(&controller, &PanelController::inLiveResizeChanged);
    controller.setIsPinned(true);
    controller.setIsPinned(true);
    controller.setInLiveResize(false);
    controller.setIsHistoryToggling(true);
    EXPECT_EQ(pinned.count(), 1);
    EXPECT_EQ(resize.count(), 0);
    EXPECT_TRUE(controller.isHistoryToggling());
}

TEST(PanelControllerTest, HoldsItsPanelWeaklyAndStartsWithItsTabModeLock)
{
    auto *panel = new QObject;
    PanelController controller(panel, true);
    EXPECT_TRUE(controller.isLockedInTabMode());
    EXPECT_EQ(controller.panel(), panel);
    delete panel;
    EXPECT_EQ(controller.panel(), nullptr);
}
