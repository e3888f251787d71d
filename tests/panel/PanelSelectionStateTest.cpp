#include "panel/PanelSelectionState.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

TEST(PanelSelectionStateTest, AnnouncesOnlyRealChanges)
{
    PanelSelectionState state;
    QSignalSpy column(&state, &PanelSelectionState::selectedColumnIndexChanged);
    QSignalSpy item(&state, &PanelSelectionState::selectedItemIndexChanged);
    QSignalSpy keyboard(&state, &PanelSelectionState::isKeyboardNavigatingChanged);

    state.setSelectedItemIndex(0);
    state.setSelectedItemIndex(0);
    EXPECT_EQ(item.count(), 1);
    state.setSelectedItemIndex(std::nullopt);
    state.setSelectedItemIndex(std::nullopt);
    EXPECT_EQ(item.count(), 2);

    state.select(2, std::nullopt);
    EXPECT_EQ(column.count(), 1);
    EXPECT_EQ(item.count(), 2);
    state.select(2, 5);
    EXPECT_EQ(column.count(), 1);
    EXPECT_EQ(item.count(), 3);
    state.select(2, 5);
    EXPECT_EQ(column.count(), 1);
    EXPECT_EQ(item.count(), 3);
    EXPECT_EQ(state.selectedColumnIndex(), 2);
    EXPECT_EQ(state.selectedItemIndex(), 5);

    state.setIsKeyboardNavigating(false);
    state.setIsKeyboardNavigating(true);
    state.setIsKeyboardNavigating(true);
    EXPECT_EQ(keyboard.count(), 1);
}
