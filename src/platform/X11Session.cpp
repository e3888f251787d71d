#include "platform/X11Session.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace X11Session {

bool canConnect(QString *reason)
{
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name) {
        if (reason)
            *reason = QStringLiteral("DISPLAY is not set");
        return false;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        if (reason)
            *reason = QStringLiteral("cannot open the display %1").arg(QString::fromLocal8Bit(name));
        return false;
    }
    XCloseDisplay(display);
    return true;
}

} // namespace X11Session
