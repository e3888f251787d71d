#pragma once

#include "items/LabelEditState.h"
#include "items/RowStates.h"
#include "items/SwipeStateManager.h"
#include "support/ManualClock.h"

// A test's own swiped row and label edit, in place of the app's shared ones; the swiped row
// settles on its own clock.
struct OwnRowStates
{
    ManualClock clock;
    SwipeStateManager swipes { clock };
    LabelEditState labelEditing;

    RowStates rows() { return { swipes, labelEditing }; }
};
