#include "shell/CommandLine.h"

#include "model/ModelContainer.h"
#include "platform/Bundle.h"
#include "platform/LaunchAtLogin.h"
#include "platform/UserDefaults.h"

namespace CommandLine {

namespace {

bool isHelp(const QString &argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

bool isVersion(const QString &argument)
{
    return argument == QLatin1String("--version") || argument == QLatin1String("-v");
}

constexpr char usageLine[] = "Usage: tindlewick [--settings | --help | --version]\n";

} // namespace

Request immediateRequest(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (isHelp(argument))
            return Request::help;
        if (isVersion(argument))
            return Request::version;
    }
    return Request::start;
}

Parsed parse(const QStringList &arguments)
{
    if (const Request immediate = immediateRequest(arguments); immediate != Request::start)
        return { immediate, {} };
    Parsed parsed;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--settings"))
            parsed.request = Request::openSettings;
        else
            return { Request::usageError, argument };
    }
    return parsed;
}

QString usageError(const Parsed &parsed)
{
    const QString problem = parsed.offending.startsWith(QLatin1Char('-'))
        ? QStringLiteral("tindlewick: unknown option '%1'\n")
        : QStringLiteral("tindlewick: unexpected argument '%1'\n");
    return problem.arg(parsed.offending) + QLatin1String(usageLine)
        + QStringLiteral("Try 'tindlewick --help' for more information.\n");
}

namespace {

QString helpText()
{
    return QLatin1String(usageLine)
        + QStringLiteral(
            "\n"
            "Tindlewick is a clipboard history for the Linux desktop. It keeps a searchable history\n"
            "of what you copy (text, links, files, colours, images and code) and brings it up in a\n"
            "floating panel on a global shortcut (Control+Space unless changed in the settings). It\n"
            "sits in the system tray of an X11 session (on Wayland it runs through XWayland); without\n"
            "a tray, Settings... and Quit Tindlewick are in the ⋯ menu at the top right of the\n"
            "panel. Only one copy runs per user: starting it again replaces the running copy.\n"
            "\n"
            "Options:\n"
            "  --settings     open the settings window (of the copy that runs, which keeps\n"
            "                 running; with none running, this one starts and opens it)\n"
            "  -h, --help     print this help and exit\n"
            "  -v, --version  print the version and exit\n"
            "\n"
            "Files:\n"
            "  %1\n"
            "      the history (with its -wal and -shm files)\n"
            "  %2\n"
            "      the settings\n"
            "  %3\n"
            "      the autostart entry, while \"Launch at Login\" is on\n"
            "  %4\n"
            "      the models, lists and highlighting script\n"
            "\n"
            "XDG_DATA_HOME and XDG_CONFIG_HOME move the history and the settings. The resources\n"
            "are looked for in %5; TINDLEWICK_RESOURCE_DIR names another folder to read them from.\n")
              .arg(defaultStorePath(), UserDefaults::standardFilePath(), LaunchAtLogin::autostartEntryPath(),
                  Bundle::resourceDirectory(), Bundle::resourceDirectories().join(QStringLiteral(", then ")));
}

} // namespace

QString answer(Request request)
{
    switch (request) {
    case Request::help:
        return helpText();
    case Request::version:
        return QStringLiteral("Tindlewick " TINDLEWICK_VERSION "\n");
    case Request::start:
    case Request::openSettings:
    case Request::usageError:
        break;
    }
    return {};
}

} // namespace CommandLine
