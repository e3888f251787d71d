#include "platform/PasteKeystroke.h"

#include "platform/Workspace.h"

#include <QStringList>

#include <array>

namespace {

struct Terminal
{
    // The names it goes by, in any case: the instance or class of its WM_CLASS, or its
    // application id. Whole names only: "st" must not match every program with an "st" in it.
    QStringList names;
    PasteKeystroke keystroke;
};

// Terminals paste on their own keys, with their default settings.
const std::array<Terminal, 2> &terminals()
{
    static const std::array<Terminal, 2> table { {
        // GTK (VTE) and Qt terminals, and the GPU-drawn ones: the clipboard on Control+Shift+V.
        { { "gnome-terminal", "gnome-terminal-server", "org.gnome.terminal", "kgx", "org.gnome.console",
              "ptyxis", "org.gnome.ptyxis", "tilix", "com.gexperts.tilix", "xfce4-terminal",
              "org.xfce.terminal", "terminator", "mate-terminal", "lxterminal", "sakura", "guake", "tilda",
              "roxterm", "terminology", "blackbox", "com.raggesilver.blackbox", "deepin-terminal", "konsole",
              "org.kde.konsole", "yakuake", "org.kde.yakuake", "qterminal", "cool-retro-term", "kitty",
              "alacritty", "org.alacritty", "wezterm", "org.wezfurlong.wezterm", "ghostty",
              "com.mitchellh.ghostty", "hyper" },
            PasteKeystroke::controlShiftV },
        // The X terminals of old: the PRIMARY selection on Shift+Insert.
        { { "xterm", "uxterm", "urxvt", "urxvtc", "rxvt", "rxvt-unicode", "st", "st-256color", "aterm" },
            PasteKeystroke::shiftInsert },
    } };
    return table;
}

} // namespace

namespace PasteKeystrokes {

PasteKeystroke forApplication(const RunningApplication &application)
{
    for (const Terminal &terminal : terminals()) {
        for (const QString &name :
            { application.windowInstance, application.windowClass, application.bundleIdentifier }) {
            if (!name.isEmpty() && terminal.names.contains(name, Qt::CaseInsensitive))
                return terminal.keystroke;
        }
    }
    return PasteKeystroke::controlV;
}

bool pastesPrimarySelection(PasteKeystroke keystroke)
{
    return keystroke == PasteKeystroke::shiftInsert;
}

QString displayName(PasteKeystroke keystroke)
{
    switch (keystroke) {
    case PasteKeystroke::controlV:
        return QStringLiteral("Control+V");
    case PasteKeystroke::controlShiftV:
        return QStringLiteral("Control+Shift+V");
    case PasteKeystroke::shiftInsert:
        return QStringLiteral("Shift+Insert");
    }
    return {};
}

} // namespace PasteKeystrokes
