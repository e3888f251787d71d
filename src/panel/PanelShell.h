#pragma once

#include <optional>

// What the panel asks of the application that shows it: hiding the panel, handing the keyboard
// back, the emoji picker, the settings window and, where no tray icon offers them, the app's
// own entries. Main thread only.
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
    // Opens the settings window (or brings it to the front), on a tab when one is given (0 is
    // General), else as it was left.
    virtual void openSettings(std::optional<int> tab) = 0;
    // Whether a tray icon's menu offers the app's entries (Settings..., Quit) now; where none
    // does, the panel's own menu offers them.
    virtual bool hasTrayMenu() const = 0;
    // Ends the app, as the tray menu's "Quit Tindlewick" does.
    virtual void quitApplication() = 0;
};
