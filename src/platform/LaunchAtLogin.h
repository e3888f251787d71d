#pragma once

#include <QString>

// Starting the app when the user logs in, through an XDG autostart entry
// ("<XDG config folder>/autostart/tindlewick.desktop").
namespace LaunchAtLogin {

QString autostartEntryPath();
bool isEnabled();
// Writes or removes the entry; on failure returns false and sets error.
bool setEnabled(bool enabled, QString *error);

} // namespace LaunchAtLogin
