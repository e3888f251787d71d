#include "settings/KeyboardSettingsLauncher.h"

#include <QProcess>
#include <QStandardPaths>

std::optional<KeyboardSettingsLauncher::Command> KeyboardSettingsLauncher::commandFor(
    const QString &currentDesktop, const ProgramLookup &findProgram)
{
    struct Candidate
    {
        const char *desktop;
        const char *program;
        QStringList arguments;
    };
    // Plasma 6 and late Plasma 5 install "systemsettings", earlier Plasma 5 "systemsettings5".
    static const Candidate candidates[] = {
        { "GNOME", "gnome-control-center", { QStringLiteral("keyboard") } },
        { "KDE", "systemsettings", { QStringLiteral("kcm_keys") } },
        { "KDE", "systemsettings5", { QStringLiteral("kcm_keys") } },
        { "XFCE", "xfce4-keyboard-settings", {} },
    };
    const QStringList desktops = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &desktop : desktops) {
        for (const Candidate &candidate : candidates) {
            if (desktop.trimmed().compare(QLatin1String(candidate.desktop), Qt::CaseInsensitive) != 0)
                continue;
            const QString path = findProgram(QString::fromLatin1(candidate.program));
            if (!path.isEmpty())
                return Command { path, candidate.arguments };
        }
    }
    return std::nullopt;
}

QString KeyboardSettingsLauncher::whereToLook()
{
    return QStringLiteral(
        "Tindlewick could not find your desktop's keyboard settings. Look for Keyboard and its "
        "shortcuts in your desktop's settings (GNOME Settings, KDE System Settings or the Xfce "
        "Settings Manager). A shortcut that another program holds is freed there or in that "
        "program's own settings; input methods often hold Ctrl+Space.");
}

bool KeyboardSettingsLauncher::open()
{
    const std::optional<Command> command = commandFor(qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
        [](const QString &name) { return QStandardPaths::findExecutable(name); });
    return command && QProcess::startDetached(command->program, command->arguments);
}
