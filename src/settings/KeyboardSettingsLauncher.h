#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Opens the desktop's own keyboard-shortcut settings, where a shortcut another program holds is
// freed: GNOME's Settings, KDE's System Settings or Xfce's keyboard settings, when the session
// is one of these desktops and its settings program is installed.
class KeyboardSettingsLauncher final
{
public:
    struct Command
    {
        QString program;
        QStringList arguments;

        friend bool operator==(const Command &, const Command &) = default;
    };
    // The full path of an installed program by its name, empty when there is none.
    using ProgramLookup = std::function<QString(const QString &name)>;

    // The command for a desktop as $XDG_CURRENT_DESKTOP names it (a list separated by ":",
    // any letter case); nothing for another desktop or when its program is missing.
    static std::optional<Command> commandFor(const QString &currentDesktop, const ProgramLookup &findProgram);
    // What to tell the user when there is nothing to open.
    static QString whereToLook();

    // Starts the program for this session (found on PATH). False when there is none or it
    // could not be started.
    static bool open();
};
