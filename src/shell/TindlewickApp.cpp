#include "shell/TindlewickApp.h"

#include <QApplication>

#include <cstdio>

namespace TindlewickApp {

int run(int argc, char **argv)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "Tindlewick needs an X11 display, and DISPLAY is not set. "
                             "Start it from a desktop session (on Wayland it runs through XWayland).\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tindlewick"));
    QApplication::setOrganizationName(QStringLiteral("Tindlewick"));
    QApplication::setQuitOnLastWindowClosed(false);
    return app.exec();
}

} // namespace TindlewickApp
