#include "panel/PanelSelectionState.h"

void PanelSelectionState::setSelectedColumnIndex(int index)
{
    if (m_selectedColumnIndex == index)
        return;
    m_selectedColumnIndex = index;
    Q_EMIT selectedColumnIndexChanged(index);
}

void PanelSelectionState::setSelectedItemIndex(std::optional<int> index)
{
    if (m_selectedItemIndex == index)
        return;
    m_selectedItemIndex = index;
    Q_EMIT selectedItemIndexChanged();
}

void PanelSelectionState::setIsKeyboardNavigating(bool value)
{
    if (m_isKeyboardNavigating == value)
        return;
    m_isKeyboardNavigating = value;
    Q_EMIT isKeyboardNavigatingChanged(value);
}

void PanelSelectionState::setSuppressHoverSelection(bool value)
{
    if (m_suppressHoverSelection == value)
        return;
    m_suppressHoverSelection = value;
    Q_EMIT suppressHoverSelectionChanged(value);
}

void PanelSelectionState::select(int column, std::optional<int> item)
{
    setSelectedColumnIndex(column);
    setSelectedItemIndex(item);
}
