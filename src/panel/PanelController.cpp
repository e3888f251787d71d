#include "panel/PanelController.h"

PanelController::PanelController(QObject *panel, bool panelIsLockedInTabMode, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
{
    setIsLockedInTabMode(panelIsLockedInTabMode);
}

void PanelController::setIsPinned(bool value)
{
    if (m_isPinned == value)
        return;
    m_isPinned = value;
    Q_EMIT isPinnedChanged(value);
}

void PanelController::setInLiveResize(bool value)
{
    if (m_inLiveResize == value)
        return;
    m_inLiveResize = value;
    Q_EMIT inLiveResizeChanged(value);
}

void PanelController::setIsLockedInTabMode(bool value)
{
    if (m_isLockedInTabMode == value)
        return;
    m_isLockedInTabMode = value;
    Q_EMIT isLockedInTabModeChanged(value);
}
