#include "platform/PasteKeystroke.h"

#include "platform/Workspace.h"

#include <gtest/gtest.h>

namespace {

RunningApplication window(const char *id, const char *instance, const char *windowClass)
{
    RunningApplication application;
    application.bundleIdentifier = QLatin1String(id);
    application.windowInstance = QLatin1String(instance);
    application.windowClass = QLatin1String(windowClass);
    return application;
}

// Windows as the programs name them on an X11 desktop: the application id the workspace reads
// (or the lower-cased class), and the two names of WM_CLASS.
TEST(PasteKeystrokeTest, TerminalsGetTheirOwnPasteKeysAndEveryOtherProgramControlV)
{
    const struct
    {
        const char *name;
        RunningApplication window;
        PasteKeystroke keystroke;
    } cases[] = {
        { "xterm", window("xterm", "xterm", "XTerm"), PasteKeystroke::shiftInsert },
        { "uxterm", window("uxterm", "uxterm", "UXTerm"), PasteKeystroke::shiftInsert },
        { "rxvt-unicode", window("urxvt", "urxvt", "URxvt"), PasteKeystroke::shiftInsert },
        { "st", window("st-256color", "st-256color", "st-256color"), PasteKeystroke::shiftInsert },
        { "GNOME Terminal", window("org.gnome.Terminal", "gnome-terminal-server", "Gnome-terminal"),
            PasteKeystroke::controlShiftV },
        { "Tilix", window("com.gexperts.Tilix", "tilix", "Tilix"), PasteKeystroke::controlShiftV },
        { "xfce4-terminal", window("xfce4-terminal", "xfce4-terminal", "Xfce4-terminal"),
            PasteKeystroke::controlShiftV },
        { "Terminator", window("terminator", "terminator", "Terminator"), PasteKeystroke::controlShiftV },
        { "Konsole", window("org.kde.konsole", "konsole", "konsole"), PasteKeystroke::controlShiftV },
        { "kitty", window("kitty", "kitty", "kitty"), PasteKeystroke::controlShiftV },
        { "Alacritty", window("alacritty", "Alacritty", "Alacritty"), PasteKeystroke::controlShiftV },
        { "WezTerm", window("org.wezfurlong.wezterm", "org.wezfurlong.wezterm", "org.wezfurlong.wezterm"),
            PasteKeystroke::controlShiftV },
        { "a terminal known only by its application id", window("org.gnome.Console", "", ""),
            PasteKeystroke::controlShiftV },
        { "a terminal known only by its class", window("", "", "XTerm"), PasteKeystroke::shiftInsert },
        { "Firefox", window("firefox", "Navigator", "firefox"), PasteKeystroke::controlV },
        { "Kate", window("org.kde.kate", "kate", "kate"), PasteKeystroke::controlV },
        { "LibreOffice", window("libreoffice-writer", "libreoffice", "libreoffice-writer"),
            PasteKeystroke::controlV },
        // Whole names only: no terminal's name inside another program's.
        { "a program whose name holds a terminal's", window("stellarium", "stellarium", "Stellarium"),
            PasteKeystroke::controlV },
        { "a window without a name", window("", "", ""), PasteKeystroke::controlV },
    };
    for (const auto &c : cases)
        EXPECT_EQ(PasteKeystrokes::forApplication(c.window), c.keystroke) << c.name;
}

// Only the old X terminals paste the PRIMARY selection; the others paste the clipboard, whatever
// their keys.
TEST(PasteKeystrokeTest, EachKeystrokeSaysWhatItPastesAndHowTheUserReadsIt)
{
    const struct
    {
        PasteKeystroke keystroke;
        bool primarySelection;
        const char *shown;
    } cases[] = {
        { PasteKeystroke::controlV, false, "Control+V" },
        { PasteKeystroke::controlShiftV, false, "Control+Shift+V" },
        { PasteKeystroke::shiftInsert, true, "Shift+Insert" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(PasteKeystrokes::pastesPrimarySelection(c.keystroke), c.primarySelection);
        EXPECT_EQ(PasteKeystrokes::displayName(c.keystroke), QLatin1String(c.shown));
    }
}

} // namespace
