#pragma once

class LabelEditState;
class SwipeStateManager;

// The row states the panel's rows, its keys and its state share: the one row swiped open and
// whether a label is being edited. The app hands every panel its shared ones.
struct RowStates
{
    SwipeStateManager &swipes;
    LabelEditState &labelEditing;
};
