#pragma once

// What the panel asks of the application that shows it: hiding the panel, handing the keyboard
// back, the emoji picker and the settings window. Main thread only.
class PanelShell
{
public:
    virtual ~PanelShell() = default;

    // Hides the panel (the application delegate's hide; the window ordered out when there is
    // no delegate). With restoreFocus the window that was active before the panel came back.
    virtual void hidePanel(bool restoreFocus) = 0;
    // A pinned panel stays on screen but gives the keyboard back to the window behind it.
    virtual void resignPanelKey() = 0;
    // Gives the focus back to the window remembered when the panel was shown (never to any
    // other application); nothing when that window is gone.
    virtual void activatePreviousApplication() = 0;
    // Opens the desktop's emoji picker for the search field; false when none is installed.
    virtual bool showCharacterPalette() = 0;
    // Opens the settings window (or brings it to the front) on a tab (0 is General).
    virtual void openSettings(int tab) = 0;
};
