#pragma once

#include <QString>

// Whether this process can reach an X server. Checked before Qt starts, so a missing
// display ends with a clear message instead of Qt's abort.
namespace X11Session {
bool canConnect(QString *reason);
}
