#include "shell/CommandLine.h"

#include "model/ModelContainer.h"
#include "platform/Bundle.h"
#include "platform/LaunchAtLogin.h"
#include "platform/UserDefaults.h"

namespace CommandLine {

Request request(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return Request::help;
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return Request::version;
    }
    return Request::start;
}

namespace {

QString helpText()
{
    return QStringLiteral(
        "Usage: tindlewick [--help | --version]\n"
        "\n"
        "Tindlewick is a clipboard history for the Linux desktop. It keeps a searchable history\n"
        "of what you copy (text, links, files, colours, images and code) and brings it up in a\n"
        "floating panel on a global shortcut (Control+Space unless changed in the settings). It\n"
        "sits in the system tray of an X11 session (on Wayland it runs through XWayland). Only\n"
        "one copy runs per user: starting it again replaces the running copy.\n"
        "\n"
        "Options:\n"
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
        break;
    }
    return {};
}

} // namespace CommandLine
