#include "items/LabelEditState.h"

LabelEditState &LabelEditState::shared()
{
    static LabelEditState *state = new LabelEditState;
    return *state;
}

void LabelEditState::setIsEditing(bool value)
{
    if (m_isEditing == value)
        return;
    m_isEditing = value;
    Q_EMIT isEditingChanged(value);
}
